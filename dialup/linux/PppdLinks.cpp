// The pppd links: which kernel links are pppd's, dialling with pppd, hanging up.
#include "dialup/linux/PppdLinks.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <signal.h>

#include <charconv>
#include <optional>
#include <utility>

#include "dialup/linux/LinkList.h"
#include "dialup/linux/PidFiles.h"
#include "dialup/linux/PppdDialer.h"
#include "runtime/Reporter.h"

namespace orvane::dialup {

namespace {

std::string AddressText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// The interface a link's identifier names, or nothing when it names none (any more).
std::optional<std::string> InterfaceNamed(const std::string& identifier) {
    unsigned index = 0;
    const char* end = identifier.data() + identifier.size();
    const auto [stop, error] = std::from_chars(identifier.data(), end, index);
    char name[IF_NAMESIZE] = {};
    if (error != std::errc() || stop != end || !if_indextoname(index, name)) return {};
    return name;
}

}  // namespace

PppdLinks::PppdLinks(PppdOptions options) : options_(std::move(options)) {}

std::vector<DialUpLink> PppdLinks::ActiveLinks(EventWait&) {
    std::vector<DialUpLink> links;
    for (const linuxlink::ActiveLink& link : linuxlink::ListActiveLinks()) {
        if (!link.isPppDevice && !linuxlink::FindLinkOwner(options_.runDirectory, link.name)) {
            continue;
        }
        links.push_back(DialUpLink{
            std::to_string(link.index),
            linuxlink::FindLinkName(options_.runDirectory, link.name).value_or(link.name),
            link.name, AddressText(link.local), link.address6});
    }
    return links;
}

DialOutcome PppdLinks::Dial(const std::string& entry, EventWait& wait) {
    // pppd could not be told an empty name, nor one cut short at a NUL.
    if (entry.empty() || entry.find('\0') != std::string::npos) return DialOutcome::Failed;
    if (!options_.asRoot) {
        if (!std::exchange(toldWhyNot_, true)) {
            Report(Priority::Error,
                   "pppd: dialling needs root (pppd takes \"linkname\" from root only); use "
                   "NetworkManager, or a link the system brings up");
        }
        return DialOutcome::Failed;
    }
    const uint32_t status =
        linuxlink::RunPppd(options_.pppdProgram, entry, options_.dialTimeLimit, wait);
    return status == 0 ? DialOutcome::LinkUp : DialOutcome::Failed;
}

bool PppdLinks::HangUp(const DialUpLink& link, EventWait&) {
    const auto name = InterfaceNamed(link.identifier);
    if (!name) return false;
    const auto owner = linuxlink::FindLinkOwner(options_.runDirectory, *name);
    // A link that no pppd owns is someone else's (a VPN, a tunnel): it is left alone.
    if (!owner || *owner <= 1) return false;
    return kill(*owner, SIGTERM) == 0;
}

}  // namespace orvane::dialup
