// Splits a configured server text ("host", "host:port", "[v6]:port") into host and port.
#pragma once

#include <cstdint>
#include <string>

#include "ftp/Protocol.h"

namespace orvane::ftp {

struct ServerAddress {
    std::string host;
    uint16_t port = kFtpPort;
    // False when the text has a port part that is not a number from 1 to 65535, an unclosed
    // bracket or no host; `host` then holds the whole text and `port` the default.
    bool valid = true;
};

// "host" and a bare IPv6 address ("::1", more than one colon) take `defaultPort`; "host:port"
// and "[v6]:port" take the given port; "[v6]" takes `defaultPort`. The brackets are not part of
// the host.
ServerAddress SplitServer(const std::string& server, uint16_t defaultPort = kFtpPort);

}  // namespace orvane::ftp
