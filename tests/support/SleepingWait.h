// The wait of tests that run no event loop: plain sleeping, never asked to stop.
#pragma once

#include <chrono>
#include <thread>

#include "runtime/EventWait.h"

namespace orvane::testing {

class SleepingWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
    }
    bool StopRequested() const override { return false; }
};

}  // namespace orvane::testing
