// The support module on POSIX: the library's file name and the project's own profile reader.
#include "settings/mCrypt.h"

#include "settings/ProfileReader.h"

namespace orvane::mCrypt {

const std::string_view LibraryFileName = "raradozo.so";

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    const auto content = settings::ReadWholeFile(file);
    if (!content) return {};
    return settings::ReadProfileString(*content, section, key);
}

}  // namespace orvane::mCrypt
