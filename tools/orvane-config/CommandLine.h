// orvane-config's command line: the commands, their options and their validation.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace orvane::config {

// A command line the tool cannot act on; the message says why, the caller adds the usage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The values of a write, all but the password, each already validated.
struct WriteRequest {
    std::string file;  // empty for the default file
    std::string server, user, path, remoteFile;
    std::string interval = "600", first = "10", delay = "0", rasdial;
};

struct Command {
    enum class Kind { Help, Write, Check } kind = Kind::Help;
    WriteRequest write;  // Write
    std::string file;    // Check; empty for the default file
};

// Parses the arguments after the program's name. Options take their value as the next
// argument or after "=". Throws UsageError for anything else, including values a settings
// line cannot hold or numbers the program would not accept.
Command ParseCommandLine(const std::vector<std::string>& args);

// Throws UsageError naming `what` when `value` cannot be stored: control characters, bytes
// that are not UTF-8, or (for encoded values) empty or too long.
void RequireStorable(const std::string& what, const std::string& value, bool encoded);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace orvane::config
