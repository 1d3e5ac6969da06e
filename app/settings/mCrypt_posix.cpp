// The support module on POSIX: /proc/self/exe, "/" paths, the project's own profile reader.
#include <climits>
#include <unistd.h>

#include "runtime/RuntimeError.h"
#include "settings/PlatformPaths.h"
#include "settings/ProfileReader.h"
#include "settings/mCrypt.h"

namespace orvane::mCrypt {

const std::string_view LibraryFileName = "raradozo.so";
const char DirectorySeparator = '/';

namespace platform {

bool IsDirectorySeparator(char c) { return c == '/'; }

// The link /proc/self/exe names the program's file; " (deleted)" follows a file removed
// while running.
std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        throw RuntimeError(ErrorNumber::PathNotFound, "/proc/self/exe");
    std::string path(buffer, static_cast<std::size_t>(length));
    constexpr std::string_view deleted = " (deleted)";
    if (path.ends_with(deleted)) path.resize(path.size() - deleted.size());
    return path;
}

}  // namespace platform

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    const auto content = settings::ReadWholeFile(file);
    if (!content) return {};
    return settings::ReadProfileString(*content, section, key);
}

}  // namespace orvane::mCrypt
