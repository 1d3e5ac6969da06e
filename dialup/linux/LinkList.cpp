// The kernel's active links, read from the interface address list.
#include "dialup/linux/LinkList.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>

#include <map>
#include <memory>

namespace orvane::dialup::linuxlink {

namespace {

struct InterfaceFacts {
    std::string name;
    unsigned flags = 0;
    bool isPppDevice = false;
    std::optional<in_addr> local;
    std::optional<in_addr> peer;
    std::string address6;
};

using AddressList = std::unique_ptr<ifaddrs, decltype(&freeifaddrs)>;

AddressList ReadAddressList() {
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0) first = nullptr;
    return AddressList(first, &freeifaddrs);
}

// An address labelled "ppp0:1" belongs to the device "ppp0".
std::string DeviceName(const char* label) {
    std::string name = label ? label : "";
    return name.substr(0, name.find(':'));
}

bool IsGlobalUnicast(const in6_addr& address) { return (address.s6_addr[0] & 0xe0) == 0x20; }

void NoteAddress(const ifaddrs& entry, InterfaceFacts& facts) {
    if (entry.ifa_addr->sa_family == AF_PACKET) {
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry.ifa_addr);
        facts.isPppDevice = link->sll_hatype == ARPHRD_PPP;
    } else if (entry.ifa_addr->sa_family == AF_INET && !facts.local) {
        facts.local = reinterpret_cast<const sockaddr_in*>(entry.ifa_addr)->sin_addr;
        const sockaddr* far = entry.ifa_dstaddr;
        if ((entry.ifa_flags & IFF_POINTOPOINT) && far && far->sa_family == AF_INET) {
            facts.peer = reinterpret_cast<const sockaddr_in*>(far)->sin_addr;
        }
    } else if (entry.ifa_addr->sa_family == AF_INET6 && facts.address6.empty()) {
        const in6_addr& address = reinterpret_cast<const sockaddr_in6*>(entry.ifa_addr)->sin6_addr;
        char text[INET6_ADDRSTRLEN] = {};
        if (IsGlobalUnicast(address) && inet_ntop(AF_INET6, &address, text, sizeof text)) {
            facts.address6 = text;
        }
    }
}

// What the address list says about each interface, by index. An interface that vanished
// while the list was read has no index any more and is left out.
std::map<unsigned, InterfaceFacts> ReadInterfaces() {
    std::map<unsigned, InterfaceFacts> interfaces;
    const AddressList list = ReadAddressList();
    for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !entry->ifa_name) continue;
        const std::string name = DeviceName(entry->ifa_name);
        const unsigned index = if_nametoindex(name.c_str());
        if (index == 0) continue;
        InterfaceFacts& facts = interfaces[index];
        facts.name = name;
        facts.flags = entry->ifa_flags;
        NoteAddress(*entry, facts);
    }
    return interfaces;
}

bool IsActive(const InterfaceFacts& facts) {
    return (facts.flags & IFF_UP) && facts.local.has_value();
}

}  // namespace

std::optional<std::string> GlobalIPv6(const std::string& text) {
    in6_addr address{};
    if (inet_pton(AF_INET6, text.c_str(), &address) != 1 || !IsGlobalUnicast(address)) return {};
    return text;
}

std::vector<ActiveLink> ListActiveLinks() {
    std::vector<ActiveLink> links;
    for (const auto& [index, facts] : ReadInterfaces()) {
        if (!IsActive(facts)) continue;
        links.push_back(ActiveLink{index, facts.name, facts.isPppDevice, *facts.local, facts.peer,
                                   facts.address6});
    }
    return links;
}

}  // namespace orvane::dialup::linuxlink
