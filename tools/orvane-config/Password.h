// Reading the FTP password: from standard input when it is not a terminal, else from the terminal
// unechoed.
#pragma once

#include <optional>
#include <string>

namespace orvane::config {

// The password without its line end; nothing when there is no line to read. The reason
// for a failure goes to `problem`.
std::optional<std::string> ReadPassword(std::string& problem);

}  // namespace orvane::config
