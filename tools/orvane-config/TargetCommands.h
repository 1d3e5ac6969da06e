// orvane-config's target commands: a [TARGET:NAME] section added, removed or listed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::config {

struct TargetRequest {
    std::string file;  // empty for the default file
    std::string name;
    std::map<std::string, std::string, std::less<>> given;  // "--type" and so on, and values
};

// "add [FILE] --name NAME --type TYPE [OPTION VALUE]...", "remove [FILE] --name NAME" or
// "list [FILE]" after "target". Throws UsageError for an unknown option, one the type has no
// use for, or a missing one the type needs.
TargetRequest ParseTargetArguments(const std::vector<std::string>& args);

// Whether a target of the type given needs a secret read as the password is (dyndns2's
// password, dnsupdate's TSIG secret).
bool TargetNeedsSecret(const TargetRequest& request);

// `existing` with a new section for the target, encoded values encoded with `key`, and
// `secret` as its PASSWORD or KEYSECRET. Throws UsageError when the target is already there or
// when the program would refuse one of its values (the reason, never the value).
std::string AddTarget(std::string_view existing, const TargetRequest& request,
                      const std::optional<std::string>& secret, const std::string& key);

// `existing` without the target's section (all of its lines); UsageError when there is none.
std::string RemoveTarget(std::string_view existing, const std::string& name);

// One line per target: its name, type and settings, without its password or secret.
std::vector<std::string> ListTargets(std::string_view content, const std::string& key);

}  // namespace orvane::config
