// Building the settings text: values in the program's reading order, FTP values encoded.
#include "orvane-config/SettingsWriter.h"

#include "orvane-config/SettingsEditor.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"
#include "settings/SettingsSchema.h"

namespace orvane::config {

std::string BuildSettingsFile(std::string_view existing, const WriteRequest& request,
                              const std::optional<std::string>& password, const std::string& key,
                              bool onlyGiven) {
    std::vector<ProfileAssignment> assignments;
    for (const settings::SettingKey& setting : settings::SettingKeys) {
        const bool isPassword = setting.option == settings::PasswordOption;
        const bool given =
            isPassword ? password.has_value() : request.given.contains(setting.option);
        if (onlyGiven && !given) continue;
        if (request.WithoutFile() && setting.section == "FTP") {
            // Only SERVER, empty: the file's other FTP keys are left as they are.
            if (setting.id == settings::Setting::Server)
                assignments.push_back({std::string(setting.section), "SERVER", ""});
            continue;
        }
        // Without a password a write leaves PASSWORD empty, which is not encoded.
        const auto value = isPassword ? password : request.ValueOf(setting.option);
        const bool encoded = setting.kind == settings::KeyKind::Encoded;
        assignments.push_back({std::string(setting.section), std::string(setting.key),
                               !value    ? ""
                               : encoded ? settings::EncodeSetting(*value, key)
                                         : *value});
    }
    return SetProfileValues(existing, assignments, settings::NewFileLineEnd);
}

}  // namespace orvane::config
