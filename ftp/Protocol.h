// How a session is protected: plain FTP, FTP with explicit TLS, or SSH's file transfer, with
// the checks of the server's identity that go with each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::ftp {

enum class Protocol { Ftp, Ftps, Sftp };

// The port of FTP and FTP over TLS when the server text names none.
inline constexpr uint16_t kFtpPort = 21;

struct Protection {
    Protocol protocol = Protocol::Ftp;
    std::string caFile;   // ftps: PEM file of the trusted authorities; empty: the system's
    std::string hostKey;  // sftp: "SHA256:<base64>"; empty: the user's known_hosts
};

// "ftp" (or empty), "ftps", "sftp", in any case; nothing for anything else.
std::optional<Protocol> ParseProtocol(std::string_view text);
std::string_view ProtocolName(Protocol protocol);

// The server port when the configured server names none: 22 for sftp, else 21.
uint16_t DefaultPort(Protocol protocol);

// True for a key fingerprint as OpenSSH prints it: "SHA256:" and the 43 base64 characters of
// the digest (a trailing "=" is allowed).
bool IsHostKeyFingerprint(std::string_view text);

// Whether this platform's client can speak the protocol.
bool PlatformSupports(Protocol protocol);
// Whether this platform's client can ask a public-address service (HTTPS).
bool PlatformAsksPublicAddress();

}  // namespace orvane::ftp
