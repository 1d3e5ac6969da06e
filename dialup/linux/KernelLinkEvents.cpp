// Reading rtnetlink's address and link groups without blocking, and picking out the interfaces
// that gained an address or came up.
#include "dialup/linux/KernelLinkEvents.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <set>

namespace orvane::dialup::linuxlink {

namespace {

constexpr std::size_t kHeaderSize = NLMSG_ALIGN(sizeof(nlmsghdr));

// The message's body as `Body`, or nullptr when the message is too short to hold one.
template <typename Body>
const Body* BodyOf(const nlmsghdr& header) {
    if (header.nlmsg_len < kHeaderSize + sizeof(Body)) return nullptr;
    return reinterpret_cast<const Body*>(reinterpret_cast<const char*>(&header) + kHeaderSize);
}

// The interface a message is about when it brings something up, else 0.
unsigned InterfaceBroughtUp(const nlmsghdr& header) {
    if (header.nlmsg_type == RTM_NEWADDR) {
        const auto* message = BodyOf<ifaddrmsg>(header);
        return message != nullptr ? message->ifa_index : 0;
    }
    if (header.nlmsg_type == RTM_NEWLINK) {
        const auto* message = BodyOf<ifinfomsg>(header);
        if (message == nullptr) return 0;
        // Only the change to up: the kernel also announces a link for every other attribute.
        const bool cameUp = (message->ifi_flags & IFF_UP) && (message->ifi_change & IFF_UP);
        return cameUp && message->ifi_index > 0 ? static_cast<unsigned>(message->ifi_index) : 0;
    }
    return 0;
}

}  // namespace

KernelLinkEvents::KernelLinkEvents(std::function<void(unsigned)> heard) : heard_(std::move(heard)) {
    fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadQueued(); });
}

KernelLinkEvents::~KernelLinkEvents() {
    notifier_.reset();
    if (fd_ >= 0) close(fd_);
}

// Everything queued is read before anyone hears of it, so that what they do (a whole cycle,
// with the event loop turning) never finds this read half done.
void KernelLinkEvents::ReadQueued() {
    std::set<unsigned> indexes;
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == ENOBUFS) {
            indexes.insert(0);  // the queue overflowed: something may have been missed
            continue;
        }
        if (got <= 0) break;
        // Messages follow one another, each at an aligned offset; a length that does not fit
        // ends the read.
        std::size_t offset = 0;
        const auto size = static_cast<std::size_t>(got);
        while (offset + sizeof(nlmsghdr) <= size) {
            const auto* header = reinterpret_cast<const nlmsghdr*>(buffer + offset);
            if (header->nlmsg_len < sizeof(nlmsghdr) || header->nlmsg_len > size - offset) break;
            if (const unsigned index = InterfaceBroughtUp(*header)) indexes.insert(index);
            offset += NLMSG_ALIGN(header->nlmsg_len);
        }
    }
    for (const unsigned index : indexes) heard_(index);
}

}  // namespace orvane::dialup::linuxlink
