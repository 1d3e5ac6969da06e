// The kernel's announcements of new addresses and of links coming up (rtnetlink), heard on a
// socket that the event loop watches: nothing runs while nothing changes.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace orvane::dialup::linuxlink {

class KernelLinkEvents {
  public:
    // `heard` gets the index of each interface that gained an address (IPv4 or IPv6) or came
    // up, once per read of what the kernel queued; 0 when announcements were lost, so that any
    // interface may have changed.
    explicit KernelLinkEvents(std::function<void(unsigned index)> heard);
    ~KernelLinkEvents();
    KernelLinkEvents(const KernelLinkEvents&) = delete;
    KernelLinkEvents& operator=(const KernelLinkEvents&) = delete;

    bool Listening() const { return fd_ >= 0; }

  private:
    void ReadQueued();

    int fd_ = -1;
    std::function<void(unsigned)> heard_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvane::dialup::linuxlink
