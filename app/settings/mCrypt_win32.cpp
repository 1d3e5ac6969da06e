// The support module on Windows: the library's file name and GetPrivateProfileStringA.
#include "settings/mCrypt.h"

#include <windows.h>

namespace orvane::mCrypt {

const std::string_view LibraryFileName = "raradozo.dll";

namespace {

// The profile reader's buffer: a longer value is cut to one character less than this.
constexpr DWORD kSettingBufferLength = 10240;

}  // namespace

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    std::string buffer(kSettingBufferLength, ' ');
    const DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                 kSettingBufferLength, file.c_str());
    buffer.resize(count);
    return buffer;
}

}  // namespace orvane::mCrypt
