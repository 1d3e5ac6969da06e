// The complete text of a settings file for a write request.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "orvane-config/CommandLine.h"

namespace orvane::config {

// `existing` (empty for a new file) with every key of the program set from `request` and
// `password`, the four FTP values encoded with `key`. Other content is kept. With `onlyGiven`,
// only the keys of the options in `request.given` are set, and the password only if given.
std::string BuildSettingsFile(std::string_view existing, const WriteRequest& request,
                              const std::optional<std::string>& password, const std::string& key,
                              bool onlyGiven = false);

}  // namespace orvane::config
