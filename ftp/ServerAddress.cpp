// Splitting the configured server text into host and port.
#include "ftp/ServerAddress.h"

#include <algorithm>
#include <optional>

namespace orvane::ftp {

namespace {

// A port written as 1 to 5 decimal digits with a value from 1 to 65535.
std::optional<uint16_t> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

ServerAddress Invalid(const std::string& server, uint16_t defaultPort) {
    return ServerAddress{server, defaultPort, false};
}

// "[v6addr]" or "[v6addr]:port".
ServerAddress SplitBracketed(const std::string& server, uint16_t defaultPort) {
    const auto close = server.find(']');
    if (close == std::string::npos || close == 1) return Invalid(server, defaultPort);
    ServerAddress address{server.substr(1, close - 1), defaultPort};
    const std::string rest = server.substr(close + 1);
    if (rest.empty()) return address;
    if (rest[0] != ':') return Invalid(server, defaultPort);
    const auto port = ParsePort(rest.substr(1));
    if (!port) return Invalid(server, defaultPort);
    address.port = *port;
    return address;
}

}  // namespace

ServerAddress SplitServer(const std::string& server, uint16_t defaultPort) {
    if (server.empty()) return Invalid(server, defaultPort);
    if (server.front() == '[') return SplitBracketed(server, defaultPort);
    const auto colons = std::count(server.begin(), server.end(), ':');
    if (colons != 1) return ServerAddress{server, defaultPort};  // a plain name or bare IPv6
    const auto colon = server.find(':');
    const auto port = ParsePort(server.substr(colon + 1));
    if (colon == 0 || !port) return Invalid(server, defaultPort);
    return ServerAddress{server.substr(0, colon), *port};
}

}  // namespace orvane::ftp
