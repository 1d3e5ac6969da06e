// Naming and checking the protocols and the host key fingerprint.
#include "ftp/Protocol.h"

#include <algorithm>
#include <cctype>

namespace orvane::ftp {

std::optional<Protocol> ParseProtocol(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Protocol protocol : {Protocol::Ftp, Protocol::Ftps, Protocol::Sftp})
        if (lower == ProtocolName(protocol)) return protocol;
    if (lower.empty()) return Protocol::Ftp;
    return std::nullopt;
}

std::string_view ProtocolName(Protocol protocol) {
    switch (protocol) {
        case Protocol::Ftps: return "ftps";
        case Protocol::Sftp: return "sftp";
        case Protocol::Ftp: break;
    }
    return "ftp";
}

uint16_t DefaultPort(Protocol protocol) { return protocol == Protocol::Sftp ? 22 : kFtpPort; }

bool IsHostKeyFingerprint(std::string_view text) {
    constexpr std::string_view kPrefix = "SHA256:";
    constexpr std::size_t kDigits = 43;  // 32 bytes in base64, without padding
    if (!text.starts_with(kPrefix)) return false;
    std::string_view digest = text.substr(kPrefix.size());
    if (digest.size() == kDigits + 1 && digest.back() == '=') digest.remove_suffix(1);
    return digest.size() == kDigits && std::all_of(digest.begin(), digest.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
           });
}

}  // namespace orvane::ftp
