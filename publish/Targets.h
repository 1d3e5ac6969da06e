// The targets a settings file names: each one's kind, decoded settings and fingerprint, and the
// making of the target that publishes to it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "publish/Target.h"

namespace orvane::publish {

enum class TargetType { Dyndns2, DnsUpdate, Command };

// "dyndns2", "dnsupdate" or "command" as a settings file names them.
std::optional<TargetType> ParseTargetType(std::string_view text);
std::string_view TargetTypeName(TargetType type);

struct TargetSettings {
    std::string name;  // the NAME of its [TARGET:NAME] section
    TargetType type = TargetType::Command;
    Dyndns2Settings dyndns2;
    DnsUpdateSettings dnsUpdate;
    CommandSettings command;
    // Tells one set of settings from another without holding them: a changed fingerprint ends
    // a stop and forgets what the target last accepted.
    std::string fingerprint;
};

// A digest of `text` as 16 hex digits. Not a cryptographic one: it only tells settings apart,
// and the settings file it is made from holds the same values in a reversible encoding.
std::string Fingerprint(std::string_view text);

// The target for `settings`; nullptr for a dnsupdate target where DnsUpdateAvailable() is false.
std::unique_ptr<Target> MakeTarget(const TargetSettings& settings);

}  // namespace orvane::publish
