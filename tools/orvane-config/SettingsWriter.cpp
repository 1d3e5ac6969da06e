// Building the settings text: values in the program's reading order, FTP values encoded.
#include "orvane-config/SettingsWriter.h"

#include "orvane-config/SettingsEditor.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

std::string BuildSettingsFile(std::string_view existing, const WriteRequest& request,
                              const std::string& password, const std::string& key) {
    const auto encoded = [&key](const std::string& plain) {
        return settings::EncodeSetting(plain, key);
    };
    const std::vector<ProfileAssignment> assignments = {
        {"GENERAL", "INTERVAL", request.interval},
        {"GENERAL", "FIRST", request.first},
        {"GENERAL", "DELAY", request.delay},
        {"GENERAL", "RASDIAL", request.rasdial},
        {"FTP", "SERVER", encoded(request.server)},
        {"FTP", "USER", encoded(request.user)},
        {"FTP", "PATH", encoded(request.path)},
        {"FTP", "FILE", request.remoteFile},
        {"FTP", "PASSWORD", encoded(password)},
    };
    return SetProfileValues(existing, assignments);
}

}  // namespace orvane::config
