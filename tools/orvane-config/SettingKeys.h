// The keys of a settings file, in the order the program reads them, with how each is stored.
#pragma once

#include <array>
#include <string_view>

namespace orvane::config {

enum class KeyKind { Integer, Number, Text, Encoded };

struct SettingKey {
    std::string_view section;
    std::string_view key;
    KeyKind kind;
};

inline constexpr std::array<SettingKey, 9> SettingKeys = {{
    {"GENERAL", "INTERVAL", KeyKind::Integer},
    {"GENERAL", "FIRST", KeyKind::Integer},
    {"GENERAL", "DELAY", KeyKind::Number},
    {"GENERAL", "RASDIAL", KeyKind::Text},
    {"FTP", "SERVER", KeyKind::Encoded},
    {"FTP", "USER", KeyKind::Encoded},
    {"FTP", "PATH", KeyKind::Encoded},
    {"FTP", "FILE", KeyKind::Text},
    {"FTP", "PASSWORD", KeyKind::Encoded},
}};

}  // namespace orvane::config
