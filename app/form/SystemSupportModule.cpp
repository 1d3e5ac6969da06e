// The support module over the real support library and settings file.
#include "form/SupportModule.h"
#include "settings/ProfileReader.h"
#include "settings/SettingsLoader.h"
#include "settings/mCrypt.h"

namespace orvane {

namespace {

class SystemSupportModule final : public SupportModule {
  public:
    void ModuleStartup() override { mCrypt::ModuleStartup(); }
    void ModuleShutdown() override { mCrypt::ModuleShutdown(); }
    std::string AppDir() override { return mCrypt::StateDir; }
    std::string SettingsPath() override { return mCrypt::SettingsPath; }
    std::string ReadSetting(const std::string& section, const std::string& key,
                            const std::string& file) override {
        return mCrypt::ReadSetting(section, key, file);
    }
    std::vector<std::string> SettingsSections(const std::string& file) override {
        const auto content = settings::ReadWholeFile(file);
        return content ? settings::ProfileSectionNames(*content) : std::vector<std::string>{};
    }
    std::string DecodeSetting(const std::string& stored) override {
        return mCrypt::DecodeSetting(stored);
    }
    void CenterForm(void* windowHandle) override {
        mCrypt::CenterForm(static_cast<RzWindowHandle>(windowHandle));
    }
};

}  // namespace

std::unique_ptr<SupportModule> MakeSystemSupportModule() {
    return std::make_unique<SystemSupportModule>();
}

}  // namespace orvane
