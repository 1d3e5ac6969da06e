// The keys of a [TARGET:NAME] section: how each is stored and checked, which kinds of target
// need it or may have it, and the orvane-config option that sets it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvane::settings {

inline constexpr std::string_view TargetSectionPrefix = "TARGET:";

// How a target's value is stored, and so how it is checked.
enum class TargetKeyKind {
    Type,          // dyndns2, dnsupdate or command (plain)
    Encoded,       // encoded like the FTP values
    Secret,        // encoded; base64 inside
    HostNames,     // one or more names separated by commas (plain)
    HostName,      // one name (plain)
    WebProtocol,   // https (also when absent or empty) or http (plain)
    PemFile,       // a PEM file of authorities (plain)
    Flag,          // 0 or 1 (plain)
    Ttl,           // seconds, 0 to 2147483647 (plain)
    Algorithm,     // a TSIG algorithm's name (plain)
    AbsolutePath,  // a program's absolute path (plain)
};

// The kinds of target as bits, for the masks below.
inline constexpr uint8_t ForDyndns2 = 1, ForDnsUpdate = 2, ForCommand = 4, ForAll = 7;

struct TargetKey {
    std::string_view key;
    TargetKeyKind kind;
    std::string_view option;  // orvane-config target add's option; secrets are read, not given
    uint8_t requiredBy;       // the kinds that must have it
    uint8_t usedBy;           // the kinds it means something to
};

// The options whose values are never taken from the command line.
inline constexpr std::string_view TargetPasswordOption = "--password";
inline constexpr std::string_view TargetKeySecretOption = "--key-secret";

inline constexpr std::array<TargetKey, 14> TargetKeys = {{
    {"TYPE", TargetKeyKind::Type, "--type", ForAll, ForAll},
    {"SERVER", TargetKeyKind::Encoded, "--server", ForDyndns2 | ForDnsUpdate,
     ForDyndns2 | ForDnsUpdate},
    {"USER", TargetKeyKind::Encoded, "--user", ForDyndns2, ForDyndns2},
    {"PASSWORD", TargetKeyKind::Encoded, TargetPasswordOption, ForDyndns2, ForDyndns2},
    {"HOSTNAME", TargetKeyKind::HostNames, "--hostname", ForDyndns2 | ForDnsUpdate,
     ForDyndns2 | ForDnsUpdate},
    {"PROTOCOL", TargetKeyKind::WebProtocol, "--protocol", 0, ForDyndns2},
    {"CAFILE", TargetKeyKind::PemFile, "--cafile", 0, ForDyndns2},
    {"IPV6", TargetKeyKind::Flag, "--ipv6", 0, ForDyndns2},
    {"ZONE", TargetKeyKind::HostName, "--zone", ForDnsUpdate, ForDnsUpdate},
    {"TTL", TargetKeyKind::Ttl, "--ttl", 0, ForDnsUpdate},
    {"KEYNAME", TargetKeyKind::HostName, "--key-name", ForDnsUpdate, ForDnsUpdate},
    {"KEYALGORITHM", TargetKeyKind::Algorithm, "--key-algorithm", 0, ForDnsUpdate},
    {"KEYSECRET", TargetKeyKind::Secret, TargetKeySecretOption, ForDnsUpdate, ForDnsUpdate},
    {"RUN", TargetKeyKind::AbsolutePath, "--run", ForCommand, ForCommand},
}};

// The key set by `option`, or nullptr.
constexpr const TargetKey* TargetKeyOfOption(std::string_view option) {
    for (const TargetKey& key : TargetKeys)
        if (key.option == option) return &key;
    return nullptr;
}

}  // namespace orvane::settings
