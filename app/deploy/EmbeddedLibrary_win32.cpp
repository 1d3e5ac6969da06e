// The support library's file image: resource "CUSTOM" 100 of the program's own file.
#include "EmbeddedLibrary.h"

#include <windows.h>

#include "runtime/RuntimeError.h"

namespace orvane::mCrypt {

namespace {

constexpr int kLibraryResource = 100;

}  // namespace

std::span<const unsigned char> EmbeddedLibraryImage() {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kLibraryResource), "CUSTOM");
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        throw RuntimeError(ErrorNumber::FileNotFound,
                           "risorsa CUSTOM 100 (la libreria di supporto)");
    return {static_cast<const unsigned char*>(bytes), SizeofResource(nullptr, found)};
}

}  // namespace orvane::mCrypt
