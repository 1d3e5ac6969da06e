// How a long operation (a dial, a transfer) waits without holding up the program: it sleeps in
// the program's event loop in bounded steps, so the window, the timer and signals are served,
// and it gives up as soon as the program is closing.
#pragma once

#include <chrono>

namespace orvane {

class EventWait {
  public:
    virtual ~EventWait() = default;

    // Sleeps in the event loop until events arrive or `atMost` has passed, handling them.
    virtual void WaitForEvents(std::chrono::milliseconds atMost) = 0;
    // True once closing has been asked for: whatever is waiting ends its attempt now.
    virtual bool StopRequested() const = 0;
};

}  // namespace orvane
