// Building the settings text: values in the program's reading order, FTP values encoded.
#include "orvane-config/SettingsWriter.h"

#include "orvane-config/SettingsEditor.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

std::string BuildSettingsFile(std::string_view existing, const WriteRequest& request,
                              const std::optional<std::string>& password, const std::string& key,
                              bool onlyGiven) {
    const auto encoded = [&key](const std::string& plain) {
        return settings::EncodeSetting(plain, key);
    };
    const struct {
        const char* option;
        ProfileAssignment assignment;
    } all[] = {
        {"--interval", {"GENERAL", "INTERVAL", request.interval}},
        {"--first", {"GENERAL", "FIRST", request.first}},
        {"--delay", {"GENERAL", "DELAY", request.delay}},
        {"--rasdial", {"GENERAL", "RASDIAL", request.rasdial}},
        {"--server", {"FTP", "SERVER", encoded(request.server)}},
        {"--user", {"FTP", "USER", encoded(request.user)}},
        {"--path", {"FTP", "PATH", encoded(request.path)}},
        {"--file", {"FTP", "FILE", request.remoteFile}},
        {"--password", {"FTP", "PASSWORD", password ? encoded(*password) : ""}},
        {"--protocol", {"FTP", "PROTOCOL", request.protocol}},
        {"--cafile", {"FTP", "CAFILE", request.caFile}},
        {"--hostkey", {"FTP", "HOSTKEY", request.hostKey}},
    };
    std::vector<ProfileAssignment> assignments;
    for (const auto& [option, assignment] : all) {
        const bool isPassword = std::string_view(option) == "--password";
        const bool given = isPassword ? password.has_value() : request.given.contains(option);
        if (!onlyGiven || given) assignments.push_back(assignment);
    }
    return SetProfileValues(existing, assignments);
}

}  // namespace orvane::config
