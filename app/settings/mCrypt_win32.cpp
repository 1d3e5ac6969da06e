// The support module on Windows: GetModuleFileNameA, "\" paths, GetPrivateProfileStringA.
#include <windows.h>

#include <vector>

#include "runtime/RuntimeError.h"
#include "settings/PlatformPaths.h"
#include "settings/mCrypt.h"

namespace orvane::mCrypt {

const std::string_view LibraryFileName = "raradozo.dll";
const char DirectorySeparator = '\\';

namespace {

// The profile reader's buffer: a longer value is cut to one character less than this.
constexpr DWORD kSettingBufferLength = 10240;

}  // namespace

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

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    std::string buffer(kSettingBufferLength, ' ');
    const DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                 kSettingBufferLength, file.c_str());
    buffer.resize(count);
    return buffer;
}

}  // namespace orvane::mCrypt
