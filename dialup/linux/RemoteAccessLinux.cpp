// The remote access service on Linux: point-to-point links are the connections, pppd dials
// and hangs up.
#include <arpa/inet.h>
#include <net/if.h>
#include <signal.h>

#include <algorithm>
#include <cstring>

#include "dialup/linux/LinkList.h"
#include "dialup/linux/LinuxRemoteAccess.h"
#include "dialup/linux/PidFiles.h"
#include "dialup/linux/PppdDialer.h"

namespace orvane::dialup {

namespace {

using linuxlink::ActiveLink;

constexpr char kPppDeviceType[] = "PPP";
constexpr char kTunnelDeviceType[] = "TUNNEL";

// Copies as much of `text` as fits and always ends the field with a NUL.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

template <size_t N>
void CopyAddress(char (&field)[N], const in_addr& address) {
    static_assert(N >= INET_ADDRSTRLEN);
    std::memset(field, 0, N);
    inet_ntop(AF_INET, &address, field, N);
}

RASCONN RecordOf(const ActiveLink& link, const std::filesystem::path& runDirectory) {
    RASCONN record{};
    record.dwSize = sizeof(RASCONN);
    record.hrasconn = link.index;
    CopyText(record.szEntryName,
             linuxlink::FindLinkName(runDirectory, link.name).value_or(link.name));
    CopyText(record.szDeviceType, link.isPpp ? kPppDeviceType : kTunnelDeviceType);
    CopyText(record.szDeviceName, link.name);
    return record;
}

const ActiveLink* FindLink(const std::vector<ActiveLink>& links, HRASCONN connection) {
    const auto found = std::find_if(links.begin(), links.end(), [&](const ActiveLink& link) {
        return link.index == connection;
    });
    return found == links.end() ? nullptr : &*found;
}

}  // namespace

LinuxRemoteAccess::LinuxRemoteAccess(LinkServiceOptions options) : options_(std::move(options)) {}

uint32_t LinuxRemoteAccess::RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize,
                                                uint32_t* count) {
    if (!records || !bufferSize || !count) return linkerror::InvalidParameter;
    *count = 0;
    if (*bufferSize < sizeof(RASCONN) || records[0].dwSize != sizeof(RASCONN)) {
        return linkerror::InvalidSize;
    }
    const std::vector<ActiveLink> links = linuxlink::ListActiveLinks();
    const size_t room = *bufferSize / sizeof(RASCONN);
    const size_t written = std::min(links.size(), room);
    for (size_t n = 0; n < written; ++n) records[n] = RecordOf(links[n], options_.runDirectory);
    *count = static_cast<uint32_t>(written);
    if (written < links.size()) {
        *bufferSize = static_cast<uint32_t>(links.size() * sizeof(RASCONN));
        return linkerror::BufferTooSmall;
    }
    return 0;
}

uint32_t LinuxRemoteAccess::RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol,
                                                  RASPPPIP* projection, uint32_t* size) {
    if (!projection || !size || protocol != RASP_PppIp) return linkerror::InvalidParameter;
    if (*size < sizeof(RASPPPIP) || projection->dwSize != sizeof(RASPPPIP)) {
        return linkerror::InvalidSize;
    }
    const std::vector<ActiveLink> links = linuxlink::ListActiveLinks();
    const ActiveLink* link = FindLink(links, connection);
    if (!link) {
        return linuxlink::InterfaceExists(connection) ? linkerror::ProjectionNotComplete
                                                      : linkerror::InvalidHandle;
    }
    projection->dwError = 0;
    CopyAddress(projection->szIpAddress, link->local);
    if (link->peer) {
        CopyAddress(projection->szServerIpAddress, *link->peer);
    } else {
        std::memset(projection->szServerIpAddress, 0, sizeof projection->szServerIpAddress);
    }
    *size = sizeof(RASPPPIP);
    return 0;
}

uint32_t LinuxRemoteAccess::RasHangUpA(HRASCONN connection) {
    char name[IF_NAMESIZE] = {};
    if (!if_indextoname(connection, name)) return linkerror::InvalidHandle;
    const auto owner = linuxlink::FindLinkOwner(options_.runDirectory, name);
    // A link that no pppd owns is someone else's (a VPN, a tunnel): it is left alone.
    if (!owner || *owner <= 1) return linkerror::NotConnected;
    if (kill(*owner, SIGTERM) != 0) return linkerror::NotConnected;
    return 0;
}

uint32_t LinuxRemoteAccess::InternetDial(WindowHandle, const std::string& entry, uint32_t,
                                         uint32_t* connection) {
    if (connection) *connection = 0;
    // pppd could not be told an empty name, nor one cut short at a NUL.
    if (entry.empty() || entry.find('\0') != std::string::npos) {
        return linkerror::CannotFindEntry;
    }
    const linuxlink::DialOutcome outcome =
        linuxlink::RunPppd(options_.pppdProgram, entry, options_.dialTimeLimit);
    if (connection) {
        pid_t identifier = outcome.child;
        if (outcome.status == 0) {
            identifier =
                linuxlink::FindLinkNameOwner(options_.runDirectory, entry).value_or(identifier);
        }
        *connection = static_cast<uint32_t>(identifier);
    }
    return outcome.status;
}

std::unique_ptr<RemoteAccess> MakeSystemRemoteAccess() {
    return std::make_unique<LinuxRemoteAccess>();
}

}  // namespace orvane::dialup
