// The kernel's active links: interfaces that are up with an IPv4 address, and which IPv6
// addresses are worth publishing.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::dialup::linuxlink {

struct ActiveLink {
    unsigned index = 0;           // the interface index, the link's handle
    std::string name;             // the interface name
    bool isPppDevice = false;     // a PPP device (ARPHRD_PPP), not a tunnel or Ethernet
    in_addr local{};              // its first IPv4 address
    std::optional<in_addr> peer;  // the far end, where the address has one
    std::string address6;         // a global IPv6 address of the link; empty when it has none
};

// `text` when it is a global unicast IPv6 address (2000::/3), which others can reach the
// machine at; nothing for link-local, unique local (fc00::/7), loopback, multicast, mapped IPv4
// and anything that is not an IPv6 address. The documentation prefix 2001:db8::/32 lies inside
// 2000::/3 and counts, as documentation IPv4 addresses do on the IPv4 side.
std::optional<std::string> GlobalIPv6(const std::string& text);

// Every active link of this network namespace, in interface-index order.
std::vector<ActiveLink> ListActiveLinks();

}  // namespace orvane::dialup::linuxlink
