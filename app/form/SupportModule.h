// The support module's services the form uses: start-up and shut-down of the support library,
// the settings file, decoding, centring. The system implementation goes through the real library.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvane {

class SupportModule {
  public:
    virtual ~SupportModule() = default;

    virtual void ModuleStartup() = 0;
    virtual void ModuleShutdown() = 0;
    // The folder of the log and the published file, with its trailing separator: the
    // program's own in a portable folder, else the user's state folder. Known after start-up.
    virtual std::string AppDir() = 0;
    virtual std::string SettingsPath() = 0;
    virtual std::string ReadSetting(const std::string& section, const std::string& key,
                                    const std::string& file) = 0;
    // The names of the sections of `file`, in their order; none when it cannot be read.
    virtual std::vector<std::string> SettingsSections(const std::string& file) = 0;
    virtual std::string DecodeSetting(const std::string& stored) = 0;
    virtual void CenterForm(void* windowHandle) = 0;
};

// `programName` names the settings file (orvane.ini for "orvane"); empty, the running
// executable's name does.
std::unique_ptr<SupportModule> MakeSystemSupportModule(const std::string& programName = {});

}  // namespace orvane
