// OpenSSH's @revoked marker in a known hosts file, which the SSH library under libcurl ignores.
#pragma once

#include <string>
#include <string_view>

namespace orvane::ftp {

// True when `knownHostsFile` marks the key @revoked; `keyBase64` is the key's blob in base64, as
// the file holds it. Whatever host patterns the line names: a revoked key is never accepted.
bool IsRevokedHostKey(const std::string& knownHostsFile, std::string_view keyBase64);

// Standard base64 with padding.
std::string Base64(std::string_view bytes);

}  // namespace orvane::ftp
