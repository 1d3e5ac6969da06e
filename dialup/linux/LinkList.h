// The kernel's active links: interfaces that are up with an IPv4 address.
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
};

// Every active link of this network namespace, in interface-index order.
std::vector<ActiveLink> ListActiveLinks();

}  // namespace orvane::dialup::linuxlink
