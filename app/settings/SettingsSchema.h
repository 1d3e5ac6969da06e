// Every key of a settings file: where it lives, how it is stored and checked, its default and
// the orvane-config option that sets it, in the order the program reads them.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace orvane::settings {

// How a value is stored, and so how it is converted and checked.
enum class KeyKind { Seconds, Number, Text, Encoded, Protocol, PemFile, Fingerprint, HttpsUrl };

// The fewest seconds a Seconds key (a 32-bit whole number) may hold. The countdown starts a
// cycle only when it comes down to exactly zero, so from zero or below it would never start
// one by itself: FIRST would never publish, INTERVAL would publish once.
inline constexpr int FewestSeconds = 1;

enum class Setting {
    Interval,
    First,
    Delay,
    RasDial,
    CheckIp,
    Server,
    User,
    Path,
    File,
    Password,
    Protocol,
    CaFile,
    HostKey
};

struct SettingKey {
    Setting id;
    std::string_view section;
    std::string_view key;
    KeyKind kind;
    std::string_view option;  // orvane-config's option that sets it
    // What a write stores when the option is not given; none: a write must be given it.
    std::optional<std::string_view> defaultValue;
    bool optional = false;  // may be absent from the file; the program then reads it as empty
};

// The password is no option with a value: write always reads it, set only with this flag.
inline constexpr std::string_view PasswordOption = "--password";

inline constexpr std::array<SettingKey, 13> SettingKeys = {{
    {Setting::Interval, "GENERAL", "INTERVAL", KeyKind::Seconds, "--interval", "600"},
    {Setting::First, "GENERAL", "FIRST", KeyKind::Seconds, "--first", "10"},
    {Setting::Delay, "GENERAL", "DELAY", KeyKind::Number, "--delay", "0"},
    {Setting::RasDial, "GENERAL", "RASDIAL", KeyKind::Text, "--rasdial", ""},
    {Setting::CheckIp, "GENERAL", "CHECKIP", KeyKind::HttpsUrl, "--checkip", "", true},
    {Setting::Server, "FTP", "SERVER", KeyKind::Encoded, "--server", std::nullopt},
    {Setting::User, "FTP", "USER", KeyKind::Encoded, "--user", std::nullopt},
    {Setting::Path, "FTP", "PATH", KeyKind::Encoded, "--path", std::nullopt},
    {Setting::File, "FTP", "FILE", KeyKind::Text, "--file", std::nullopt},
    {Setting::Password, "FTP", "PASSWORD", KeyKind::Encoded, PasswordOption, std::nullopt},
    {Setting::Protocol, "FTP", "PROTOCOL", KeyKind::Protocol, "--protocol", "ftp", true},
    {Setting::CaFile, "FTP", "CAFILE", KeyKind::PemFile, "--cafile", "", true},
    {Setting::HostKey, "FTP", "HOSTKEY", KeyKind::Fingerprint, "--hostkey", "", true},
}};

constexpr const SettingKey& KeyOf(Setting id) { return SettingKeys[static_cast<std::size_t>(id)]; }

// The key set by `option`, or nullptr.
constexpr const SettingKey* KeyOfOption(std::string_view option) {
    for (const SettingKey& setting : SettingKeys)
        if (setting.option == option) return &setting;
    return nullptr;
}

// What the table must satisfy, checked where it is compiled.
consteval bool SchemaIsSound() {
    for (std::size_t i = 0; i < SettingKeys.size(); ++i) {
        const SettingKey& setting = SettingKeys[i];
        if (static_cast<std::size_t>(setting.id) != i) return false;  // KeyOf finds it
        if (KeyOfOption(setting.option) != &setting) return false;    // options are unique
        for (std::size_t j = 0; j < i; ++j)
            if (SettingKeys[j].section == setting.section && SettingKeys[j].key == setting.key)
                return false;
        // An encoded value cannot be empty, and a key a file may lack reads as empty.
        if (setting.kind == KeyKind::Encoded && (setting.defaultValue || setting.optional))
            return false;
        if (setting.optional && !setting.defaultValue) return false;
    }
    return true;
}
static_assert(SchemaIsSound());

}  // namespace orvane::settings
