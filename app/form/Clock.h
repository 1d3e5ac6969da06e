// Time as the form sees it: a monotonic clock for waits and the local wall time for texts.
#pragma once

#include <chrono>
#include <ctime>

namespace orvane {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point Monotonic() = 0;
    virtual std::tm LocalNow() = 0;
};

class SystemClock final : public Clock {
  public:
    std::chrono::steady_clock::time_point Monotonic() override {
        return std::chrono::steady_clock::now();
    }
    std::tm LocalNow() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    }
};

}  // namespace orvane
