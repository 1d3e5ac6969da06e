// The kinds of target by name, their fingerprints, and the factory that picks each kind's maker.
#include "publish/Targets.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace orvane::publish {

namespace {

constexpr std::array<std::pair<TargetType, std::string_view>, 3> kTypeNames{{
    {TargetType::Dyndns2, "dyndns2"},
    {TargetType::DnsUpdate, "dnsupdate"},
    {TargetType::Command, "command"},
}};

}  // namespace

std::optional<TargetType> ParseTargetType(std::string_view text) {
    for (const auto& [type, name] : kTypeNames)
        if (name == text) return type;
    return std::nullopt;
}

std::string_view TargetTypeName(TargetType type) {
    for (const auto& [known, name] : kTypeNames)
        if (known == type) return name;
    return {};
}

// FNV-1a, 64 bits.
std::string Fingerprint(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::unique_ptr<Target> MakeTarget(const TargetSettings& settings) {
    switch (settings.type) {
        case TargetType::Dyndns2: return MakeDyndns2Target(settings.dyndns2);
        case TargetType::Command: return MakeCommandTarget(settings.command);
        case TargetType::DnsUpdate:
            return DnsUpdateAvailable() ? MakeDnsUpdateTarget(settings.dnsUpdate) : nullptr;
    }
    return nullptr;
}

}  // namespace orvane::publish
