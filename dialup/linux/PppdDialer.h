// Running pppd for one dial: straight from an argument vector, never through a shell, with a
// bound on how long it may take.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "runtime/EventWait.h"

namespace orvane::dialup::linuxlink {

// What became of a run of pppd: 0 when it reported the link up and detached; otherwise pppd's
// own exit status (1 to 255), 128 + the signal that ended it, or one of these codes.
inline constexpr uint32_t kDialTimedOut = 124;    // ran past its time and was stopped
inline constexpr uint32_t kDialStatusLost = 125;  // the exit status could not be collected
inline constexpr uint32_t kDialNotStarted = 127;  // the program was not found or not run

inline constexpr uint32_t kDialCancelled = 130;  // stopped because the program is closing

// Runs `program call ENTRY linkname ENTRY updetach` (program looked up on PATH unless it
// holds a slash) and waits for it to exit in `wait`; past `limit` it is stopped, with its
// process group, and the result is kDialTimedOut. When `wait` is asked to stop, pppd is sent
// SIGTERM and left to hang up the line on its own: the result is kDialCancelled.
uint32_t RunPppd(const std::string& program, const std::string& entry,
                 std::chrono::milliseconds limit, EventWait& wait);

}  // namespace orvane::dialup::linuxlink
