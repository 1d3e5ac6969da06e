// Mapping the Windows system's error codes to the program's run-time errors.
#include "runtime/Win32Error.h"

#include <windows.h>

namespace orvane {

ErrorNumber FileErrorNumber(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND: return ErrorNumber::FileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: return ErrorNumber::PathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: return ErrorNumber::PermissionDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ErrorNumber::DiskFull;
        default: return ErrorNumber::PathFileAccessError;
    }
}

std::string SystemErrorText(unsigned long code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = length > 0 && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    if (words.empty()) words = "errore di sistema";
    return words + " (" + std::to_string(code) + ")";
}

RuntimeError Win32FileFailure(unsigned long code, std::string_view what, const std::string& path) {
    return RuntimeError(FileErrorNumber(code),
                        std::string(what) + " " + path + ": " + SystemErrorText(code));
}

}  // namespace orvane
