// Running pppd for one dial: straight from an argument vector, never through a shell, with a
// bound on how long it may take.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace orvane::dialup::linuxlink {

// What became of a dial. `status` is 0 when pppd reported the link up and detached;
// otherwise pppd's own exit status (1 to 255), 128 + the signal that ended it, or one of
// the codes below.
struct DialOutcome {
    uint32_t status = 0;
    pid_t child = 0;  // the process started, 0 when none could be
};

inline constexpr uint32_t kDialTimedOut = 124;    // ran past its time and was stopped
inline constexpr uint32_t kDialStatusLost = 125;  // the exit status could not be collected
inline constexpr uint32_t kDialNotStarted = 127;  // the program was not found or not run

// Runs `program call ENTRY linkname ENTRY updetach` (program looked up on PATH unless it
// holds a slash) and waits for it to exit; past `limit` it is stopped, with its process
// group, and the result is kDialTimedOut.
DialOutcome RunPppd(const std::string& program, const std::string& entry,
                    std::chrono::milliseconds limit);

}  // namespace orvane::dialup::linuxlink
