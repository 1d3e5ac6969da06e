// Whether a link's IPv4 address can be reached from the Internet at large.
#pragma once

#include <string_view>

namespace orvane::dialup {

// False for a dotted IPv4 address in a private, shared (carrier-grade NAT), loopback,
// link-local, documentation, benchmarking, multicast or otherwise reserved range, and for a text
// that is no dotted address at all: publishing such an address reaches nobody.
bool IsGloballyRoutable(std::string_view dotted);

}  // namespace orvane::dialup
