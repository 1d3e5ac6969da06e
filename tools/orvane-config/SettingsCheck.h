// Checking a settings file key by key, without ever revealing a value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::config {

struct KeyVerdict {
    enum class Status { Ok, Missing, Invalid };
    std::string name;  // "SECTION/KEY"
    Status status = Status::Ok;
    std::string reason;  // why it is invalid; never holds the value
};

// One verdict per key of the program, in the order it reads them: numbers must convert as
// the program converts them (under the current locale), encoded values must decode with
// `key` to printable text, and every key must be present.
std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key);

// "SECTION/KEY: OK", "SECTION/KEY: missing" or "SECTION/KEY: invalid (reason)".
std::string VerdictLine(const KeyVerdict& verdict);

}  // namespace orvane::config
