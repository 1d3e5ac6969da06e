// The kernel's active point-to-point links: up, point-to-point, with an IPv4 address.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::dialup::linuxlink {

struct ActiveLink {
    unsigned index = 0;           // the interface index, the link's handle
    std::string name;             // the interface name
    bool isPpp = false;           // a PPP link (pppd's) rather than a tunnel
    in_addr local{};              // its first IPv4 address
    std::optional<in_addr> peer;  // the far end, where the address has one
};

// Every active link of this network namespace, in interface-index order.
std::vector<ActiveLink> ListActiveLinks();

// Whether an interface with this index exists at all, active or not.
bool InterfaceExists(unsigned index);

}  // namespace orvane::dialup::linuxlink
