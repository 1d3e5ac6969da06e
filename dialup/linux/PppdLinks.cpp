// The pppd link service: which kernel links are pppd's, dialling with pppd, hanging up.
#include "dialup/linux/PppdLinks.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <signal.h>

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

}  // namespace

PppdLinks::PppdLinks(PppdOptions options) : options_(std::move(options)) {}

std::vector<DialUpLink> PppdLinks::ListLinks() {
    std::vector<DialUpLink> links;
    for (const linuxlink::ActiveLink& link : linuxlink::ListActiveLinks()) {
        if (!link.isPppDevice && !linuxlink::FindLinkOwner(options_.runDirectory, link.name)) {
            continue;
        }
        links.push_back(DialUpLink{
            link.index,
            linuxlink::FindLinkName(options_.runDirectory, link.name).value_or(link.name),
            link.name, "PPP", AddressText(link.local), link.peer ? AddressText(*link.peer) : ""});
    }
    return links;
}

uint32_t PppdLinks::Dial(const std::string& entry, EventWait& wait, uint32_t& identifier) {
    identifier = 0;
    if (!options_.asRoot) {
        if (!std::exchange(toldWhyNot_, true)) {
            Report(Priority::Error,
                   "pppd: dialling needs root (pppd takes \"linkname\" from root only); use "
                   "NetworkManager, or a link the system brings up");
        }
        return linkerror::AccessDenied;
    }
    const linuxlink::DialOutcome outcome =
        linuxlink::RunPppd(options_.pppdProgram, entry, options_.dialTimeLimit, wait);
    pid_t daemon = outcome.child;
    if (outcome.status == 0) {
        daemon = linuxlink::FindLinkNameOwner(options_.runDirectory, entry).value_or(daemon);
    }
    identifier = static_cast<uint32_t>(daemon);
    return outcome.status;
}

uint32_t PppdLinks::HangUp(uint32_t identifier) {
    char name[IF_NAMESIZE] = {};
    if (!if_indextoname(identifier, name)) return linkerror::InvalidHandle;
    const auto owner = linuxlink::FindLinkOwner(options_.runDirectory, name);
    // A link that no pppd owns is someone else's (a VPN, a tunnel): it is left alone.
    if (!owner || *owner <= 1) return linkerror::NotConnected;
    if (kill(*owner, SIGTERM) != 0) return linkerror::NotConnected;
    return 0;
}

}  // namespace orvane::dialup
