// The keys of a settings file, in the order the program reads them, with how each is stored.
#pragma once

#include <array>
#include <string_view>

namespace orvane::config {

enum class KeyKind { Integer, Number, Text, Encoded, Protocol, PemFile, Fingerprint };

struct SettingKey {
    std::string_view section;
    std::string_view key;
    KeyKind kind;
    bool required = true;  // an optional key may be absent or empty
};

inline constexpr std::array<SettingKey, 12> SettingKeys = {{
    {"GENERAL", "INTERVAL", KeyKind::Integer},
    {"GENERAL", "FIRST", KeyKind::Integer},
    {"GENERAL", "DELAY", KeyKind::Number},
    {"GENERAL", "RASDIAL", KeyKind::Text},
    {"FTP", "SERVER", KeyKind::Encoded},
    {"FTP", "USER", KeyKind::Encoded},
    {"FTP", "PATH", KeyKind::Encoded},
    {"FTP", "FILE", KeyKind::Text},
    {"FTP", "PASSWORD", KeyKind::Encoded},
    {"FTP", "PROTOCOL", KeyKind::Protocol, false},
    {"FTP", "CAFILE", KeyKind::PemFile, false},
    {"FTP", "HOSTKEY", KeyKind::Fingerprint, false},
}};

}  // namespace orvane::config
