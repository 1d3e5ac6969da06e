// The program's paths on Windows: GetModuleFileNameA and "\" separators; every file stays in
// the program's folder.
#include "settings/ProgramPaths.h"

#include <windows.h>

#include <vector>

#include "runtime/RuntimeError.h"
#include "settings/PlatformPaths.h"

namespace orvane::mCrypt {

const char DirectorySeparator = '\\';

namespace platform {

bool IsDirectorySeparator(char c) { return c == '\\' || c == '/'; }

std::string ExecutablePath() {
    // A path longer than the buffer is cut by the system: grow until it fits.
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) break;
        if (length < size) return std::string(buffer.data(), length);
    }
    throw RuntimeError(ErrorNumber::PathNotFound, "GetModuleFileNameA");
}

}  // namespace platform

FileLocations SystemFileLocations(const std::filesystem::path& appDir, std::string_view exeName) {
    return ChooseFileLocations(appDir, exeName, true, [](const char*) { return nullptr; });
}

// The program's own folder is never prepared, and its settings are the folder's.
void PrepareFolder(const std::filesystem::path&) {}
void RequireOwnSettings(const std::filesystem::path&) {}

}  // namespace orvane::mCrypt
