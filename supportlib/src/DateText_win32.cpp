// A file's last-write time as date text (Windows): CreateFileA without sharing, GetFileTime and
// SetFileTime, local time through the system's file-time conversions.
#include "raradozo/datetext.h"

#include <windows.h>

#include <cstring>

namespace raradozo {
namespace {

// Closes the file handle when the scope ends.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// Opened without sharing, as the library always has: a file open elsewhere is refused.
HANDLE OpenExisting(const char* path, DWORD access) {
    return CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

std::string FileDateText(const char* path) {
    if (path == nullptr) return {};
    const FileHandle file(OpenExisting(path, GENERIC_READ));
    if (!file.valid()) return {};
    FILETIME written{}, local{};
    SYSTEMTIME fields{};
    if (!GetFileTime(file.get(), nullptr, nullptr, &written) ||
        !FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &fields))
        return {};
    char text[32];
    const int length = wsprintfA(text, "%04u%02u%02u%02u%02u%02u", fields.wYear, fields.wMonth,
                                 fields.wDay, fields.wHour, fields.wMinute, fields.wSecond);
    if (length != static_cast<int>(DateTextLength)) return {};
    return std::string(text, DateTextLength);
}

bool SetFileDateText(const char* path, const char* text) {
    if (path == nullptr || text == nullptr || strnlen(text, DateTextLength) < DateTextLength) {
        return false;
    }
    const DateTimeFields f = ParseDateText(text);
    if (f.year < 1601 || f.year > 9999 || f.month < 1 || f.day < 1 || f.hour < 0 || f.minute < 0 ||
        f.second < 0)
        return false;
    SYSTEMTIME fields{};
    fields.wYear = static_cast<WORD>(f.year);
    fields.wMonth = static_cast<WORD>(f.month);
    fields.wDay = static_cast<WORD>(f.day);
    fields.wHour = static_cast<WORD>(f.hour);
    fields.wMinute = static_cast<WORD>(f.minute);
    fields.wSecond = static_cast<WORD>(f.second);
    // SystemTimeToFileTime refuses what is not a real date and time (month 13, day 32, hour
    // 24): the file then keeps its time rather than receiving an arbitrary one.
    FILETIME local{}, written{};
    if (!SystemTimeToFileTime(&fields, &local) || !LocalFileTimeToFileTime(&local, &written))
        return false;
    const FileHandle file(OpenExisting(path, GENERIC_WRITE));
    if (!file.valid()) return false;
    return SetFileTime(file.get(), nullptr, nullptr, &written) != FALSE;
}

}  // namespace raradozo
