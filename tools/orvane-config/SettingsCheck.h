// Checking a settings file key by key, without ever revealing a value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsSchema.h"

namespace orvane::config {

struct KeyVerdict {
    enum class Status { Ok, Missing, Invalid };
    std::string name;  // "SECTION/KEY"
    Status status = Status::Ok;
    std::string reason;  // why it is invalid; never holds the value
};

// One verdict per key of the program, in the order it reads them: numbers must convert as
// the program converts them (under the current locale), encoded values must decode with
// `key` to printable text, the protocol must be one this build speaks, CAFILE a readable PEM
// file and HOSTKEY a fingerprint; every key must be present but the optional ones.
std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key);

// Empty when `value` is good for a key of `kind`, else the reason it is not (never the value).
// Encoded values are decoded with `key`.
std::string ValueProblem(settings::KeyKind kind, const std::string& value, const std::string& key);

// What is allowed but unwise: plain FTP to a server that is not this machine sends the
// password in clear. One sentence per warning.
std::vector<std::string> SettingsWarnings(std::string_view content, const std::string& key);

// "SECTION/KEY: OK", "SECTION/KEY: missing" or "SECTION/KEY: invalid (reason)".
std::string VerdictLine(const KeyVerdict& verdict);

}  // namespace orvane::config
