// The support library's loader on Windows: LoadLibraryExA by absolute path while the file is
// held against change, GetProcAddress, the GetModuleHandleA/FreeLibrary release loop, and
// result strings released with SysFreeString.
#include "SupportLibrary.h"

#include <windows.h>
#include <oleauto.h>

#include "runtime/Win32Error.h"

namespace orvane::mCrypt {

namespace {

// More load references than any program holds; ends the release loop should the loader
// keep the library for good.
constexpr int MaxReleasePasses = 1000;

FileIdentity IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    return {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace

void SupportLibrary::Load(const FileIdentity& written) {
    // Held open for reading only, sharing reading only: from here until the loader has mapped
    // it nobody can write, replace or delete the file. It must be the file just written.
    HANDLE guard = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (guard == INVALID_HANDLE_VALUE)
        throw Win32FileFailure(GetLastError(), "impossibile aprire", path_);
    const bool same = IdentityOf(guard) == written;
    if (same) {
        // The absolute path and the altered search order: the library's own imports are
        // looked for beside it, never elsewhere first.
        handle_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    const DWORD error = GetLastError();
    CloseHandle(guard);
    if (!same)
        throw RuntimeError(ErrorNumber::DllLoadError,
                           "sostituito da un altro file prima di essere caricato: " + path_);
    if (handle_ == nullptr)
        throw RuntimeError(ErrorNumber::DllLoadError, path_ + ": " + SystemErrorText(error));
}

void SupportLibrary::Unload() {
    if (handle_ == nullptr) return;
    // Each pass drops one load reference; the loop ends when the module is no longer loaded
    // (no handle, so the release fails).
    for (int pass = 0; pass < MaxReleasePasses; ++pass) {
        HMODULE module = GetModuleHandleA(path_.c_str());
        if (module == nullptr || !FreeLibrary(module)) break;
    }
    handle_ = nullptr;
    entries_ = {};
}

void* SupportLibrary::LookUp(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

long long SupportLibrary::CurrentProcess() { return GetCurrentProcessId(); }

void SupportLibrary::DeleteQuietly(const std::string& path) { DeleteFileA(path.c_str()); }

std::string TakeLibraryString(char* result) {
    if (result == nullptr) return {};
    BSTR text = reinterpret_cast<BSTR>(result);
    std::string bytes(result, SysStringByteLen(text));
    SysFreeString(text);
    return bytes;
}

}  // namespace orvane::mCrypt
