// Settings files on Windows: CR LF line ends, as the system's own profile writer makes them; read
// whole, regular files only, shared with other readers.
#include "settings/ProfileReader.h"

#include <windows.h>

namespace orvane::settings {

const std::string_view NewFileLineEnd = "\r\n";

std::optional<std::string> ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> content;
    if (GetFileType(file) == FILE_TYPE_DISK) {
        content.emplace();
        char buffer[65536];
        for (;;) {
            DWORD count = 0;
            if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
                content.reset();
                break;
            }
            if (count == 0) break;
            content->append(buffer, count);
        }
    }
    CloseHandle(file);
    return content;
}

}  // namespace orvane::settings
