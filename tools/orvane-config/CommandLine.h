// orvane-config's command line: the commands, their options and their validation.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "orvane-config/TargetCommands.h"

namespace orvane::config {

// A command line the tool cannot act on; the message says why, the caller adds the usage.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The values of a write or a set, all but the password, each already validated.
struct WriteRequest {
    std::string file;                                       // empty for the default file
    std::map<std::string, std::string, std::less<>> given;  // "--server" and so on, and values

    // The value given for `option`, else its key's default.
    std::string ValueOf(std::string_view option) const;
    // "--server ''": no FTP file, for a file whose targets stand in for it.
    bool WithoutFile() const;
};

struct Command {
    enum class Kind {
        Help,
        Write,
        Set,
        Check,
        TargetAdd,
        TargetRemove,
        TargetList
    } kind = Kind::Help;
    WriteRequest write;         // Write, Set
    bool withPassword = false;  // Set: --password, the password is read as write reads it
    std::string file;           // Check; empty for the default file
    TargetRequest target;       // TargetAdd, TargetRemove, TargetList
};

// Parses the arguments after the program's name. Options take their value as the next
// argument or after "=". Throws UsageError for anything else, including values a settings
// line cannot hold or numbers the program would not accept.
Command ParseCommandLine(const std::vector<std::string>& args);

// Throws UsageError naming `what` when `value` cannot be stored: NUL, CR or LF, bytes
// that are not UTF-8, or (for encoded values) empty or too long.
void RequireStorable(const std::string& what, const std::string& value, bool encoded);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace orvane::config
