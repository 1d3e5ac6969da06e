// A private virtual X display (Xvfb) that tells when a program's window appears and is first
// drawn, from the X server's own events: no polling and nothing added to the program watched.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "bench/BenchSupport.h"

struct xcb_connection_t;

namespace orvane::bench {

class PrivateDisplay {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    struct Shown {
        TimePoint mapped;   // the first top-level window was mapped (MapNotify)
        TimePoint painted;  // the first drawing into that window reached the server (DamageNotify)
        int width = 0;      // the mapped window's size, in pixels
        int height = 0;
    };

    // Starts Xvfb on a free display number; throws std::runtime_error if it cannot.
    PrivateDisplay();
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    std::string Name() const { return ":" + std::to_string(number_); }

    // Throws away the events so far (a window of the previous run closing).
    void Forget();
    // Waits for the next top-level window to be mapped and then drawn into.
    std::optional<Shown> WaitForWindow(std::chrono::milliseconds limit);

  private:
    void Connect();
    void WatchRoot();

    std::unique_ptr<Child> server_;
    int number_ = -1;
    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    uint8_t damageEvent_ = 0;
};

}  // namespace orvane::bench
