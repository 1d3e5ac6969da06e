// The system service's settings on Linux: /etc/orvane/orvane.ini, the unit's
// ConfigurationDirectory, root's and readable by the group orvane.
#include "orvane-config/ServiceSettings.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/SafeFile.h"

namespace orvane::config {

namespace {

constexpr const char* kServiceUnit = "/lib/systemd/system/orvane.service";
constexpr const char* kServiceSettings = "/etc/orvane/orvane.ini";
constexpr const char* kServiceGroup = "orvane";

bool IsServiceSettings(const std::string& file) {
    return file == kServiceSettings && !ServiceSettingsFile().empty();
}

}  // namespace

std::string ServiceSettingsFile() {
    struct stat info {};
    return geteuid() == 0 && stat(kServiceUnit, &info) == 0 ? kServiceSettings : "";
}

unsigned SettingsFileMode(const std::string& file) { return IsServiceSettings(file) ? 0640 : 0600; }

void ShareWithService(const std::string& file) {
    if (!IsServiceSettings(file)) return;
    const group* service = getgrnam(kServiceGroup);
    if (service == nullptr)
        throw FileFailure(ENOENT, "no group orvane to give the settings to", file);
    if (fchownat(AT_FDCWD, file.c_str(), 0, service->gr_gid, AT_SYMLINK_NOFOLLOW) != 0 ||
        fchmodat(AT_FDCWD, file.c_str(), 0640, 0) != 0)
        throw FileFailure(errno, "cannot give the settings to the group orvane", file);
}

}  // namespace orvane::config
