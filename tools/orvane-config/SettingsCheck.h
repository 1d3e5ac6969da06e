// Checking a settings file key by key, without ever revealing a value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsLoader.h"

namespace orvane::config {

struct KeyVerdict {
    enum class Status { Ok, Missing, Invalid };
    std::string name;  // "SECTION/KEY"
    Status status = Status::Ok;
    std::string reason;  // why it is invalid; never holds the value
};

// One verdict per key of the program, in the order it reads them (without the [FTP] keys when
// targets stand in for the file, its SERVER empty): each value checked by the
// program's settings loader (numbers under the current locale, encoded values decoded with
// `key`), CAFILE a readable PEM file besides; every key must be present but the optional ones.
std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key);

// One verdict per [TARGET:NAME] section that is good ("TARGET:NAME: OK"), and one per key
// that is missing or invalid ("TARGET:NAME/KEY"), checked as the program checks them.
std::vector<KeyVerdict> CheckTargets(std::string_view content, const std::string& key);

// The file's text read as the program reads it, decoded with the cipher cores and `key`.
settings::SettingsSource SourceOf(std::string_view content, const std::string& key);

// Why a value is not good for its key, in the tool's words (never the value).
std::string FaultReason(const settings::ValueFault& fault);

// What is allowed but unwise: plain FTP, or a dyndns2 target over plain HTTP, to a server that
// is not this machine sends the password in clear. One sentence per warning.
std::vector<std::string> SettingsWarnings(std::string_view content, const std::string& key);

// "SECTION/KEY: OK", "SECTION/KEY: missing" or "SECTION/KEY: invalid (reason)".
std::string VerdictLine(const KeyVerdict& verdict);

}  // namespace orvane::config
