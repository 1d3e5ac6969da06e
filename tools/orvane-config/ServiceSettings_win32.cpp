// Windows has no system service of Orvane's: every settings file is its owner's alone.
#include "orvane-config/ServiceSettings.h"

namespace orvane::config {

std::string ServiceSettingsFile() { return {}; }

unsigned SettingsFileMode(const std::string&) { return 0600; }

void ShareWithService(const std::string&) {}

}  // namespace orvane::config
