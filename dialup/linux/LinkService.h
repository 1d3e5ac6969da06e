// What each Linux link service offers in the program's own terms: the active dial-up links,
// dialling an entry and hanging up one link. The connection records are built over it once.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "runtime/EventWait.h"

namespace orvane::dialup {

// Results beside 0, numbered as the remote access service numbers them. A pppd dial returns
// pppd's own exit status instead (see linux/PppdDialer.h).
namespace linkerror {
inline constexpr uint32_t AccessDenied = 5;       // the user may not bring links up
inline constexpr uint32_t InvalidHandle = 6;      // no such link (any more)
inline constexpr uint32_t InvalidParameter = 87;  // a missing pointer, another protocol
inline constexpr uint32_t BufferTooSmall = 603;   // more links up than records fit
inline constexpr uint32_t CannotFindEntry = 623;  // no such entry, or not a dial-up one
inline constexpr uint32_t DialCancelled = 631;    // the program closed during the dial
inline constexpr uint32_t InvalidSize = 632;      // a record form other than the known one
inline constexpr uint32_t DialTimedOut = 638;     // the link did not come up in time
inline constexpr uint32_t DialFailed = 651;       // the link service reported a failure
inline constexpr uint32_t NotConnected = 668;     // nobody owns the link to end it
}  // namespace linkerror

// One active dial-up link.
struct DialUpLink {
    uint32_t identifier = 0;  // the handle the records carry
    std::string entryName;    // the name the user dials it by
    std::string deviceName;   // the network interface it runs on
    std::string deviceType;
    std::string address;        // its IPv4 address, dotted
    std::string serverAddress;  // the far end's, where known
};

class LinkService {
  public:
    virtual ~LinkService() = default;

    // The active dial-up links, in the service's order.
    virtual std::vector<DialUpLink> ListLinks() = 0;
    // Brings `entry` up, waiting in `wait`; 0 once it is up, else an error code. `identifier`
    // receives the attempt's identifier (0 when none was made).
    virtual uint32_t Dial(const std::string& entry, EventWait& wait, uint32_t& identifier) = 0;
    // Ends the link with this identifier and nothing else.
    virtual uint32_t HangUp(uint32_t identifier) = 0;
    // The program's event loop, for services whose every request may wait on another process;
    // without one (nullptr) they block for a bounded time.
    virtual void SetEventWait(EventWait* wait) { (void)wait; }
};

// The wait used where no event loop was handed over: plain sleeping, never asked to stop.
class SleepingWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
    }
    bool StopRequested() const override { return false; }
};

}  // namespace orvane::dialup
