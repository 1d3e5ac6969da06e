// The settings of Orvane's system service, which root looks after where that service is
// installed (Linux); elsewhere there is none.
#pragma once

#include <string>

namespace orvane::config {

// The system service's settings file when this tool runs as root and the service is installed
// (its unit is there); empty otherwise.
std::string ServiceSettingsFile();

// The mode the settings file `file` is written with: the service's is readable by its group.
unsigned SettingsFileMode(const std::string& file);

// After `file` has been written: the service's settings are given to root and the service's
// group, which the service reads them through. Other files are left as they are. A failure is a
// RuntimeError naming the file.
void ShareWithService(const std::string& file);

}  // namespace orvane::config
