// The support library's file image, linked into the program at build time.
#pragma once

#include <span>

namespace orvane::mCrypt {

// The bytes of the support library the build produced, exactly as its file holds them.
std::span<const unsigned char> EmbeddedLibraryImage();

}  // namespace orvane::mCrypt
