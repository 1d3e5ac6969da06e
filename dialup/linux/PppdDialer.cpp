// Running pppd for one dial: straight from an argument vector, never through a shell.
#include "dialup/linux/PppdDialer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <thread>

extern char** environ;

namespace orvane::dialup::linuxlink {

namespace {

using Clock = std::chrono::steady_clock;

// After SIGTERM, how long pppd gets to hang up the line before it is killed outright.
constexpr std::chrono::milliseconds kStopGrace{2000};

// The wait of a pppd being stopped: plain sleeping, not to be cut short.
class SleepingWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
    }
    bool StopRequested() const override { return false; }
};

// Attributes and file actions of the spawn, released however the spawn goes.
class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        // pppd waits for its own children, so it must not inherit an ignored SIGCHLD (or any
        // other ignored or blocked signal) from this program.
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        // Its own process group, so a dial that runs too long is stopped with all it started.
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
        // Without a device in its options pppd would take standard input as the line.
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

uint32_t StatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return static_cast<uint32_t>(WEXITSTATUS(waitStatus));
    if (WIFSIGNALED(waitStatus)) return 128 + static_cast<uint32_t>(WTERMSIG(waitStatus));
    return kDialStatusLost;
}

// The child's status once it has exited, or nothing when it is still running at `deadline`
// or `wait` was asked to stop. A status that cannot be collected (SIGCHLD ignored in this
// process) is kDialStatusLost.
std::optional<uint32_t> WaitUntil(pid_t child, Clock::time_point deadline, EventWait& wait) {
    auto pause = std::chrono::milliseconds(2);
    while (!wait.StopRequested()) {
        int waitStatus = 0;
        const pid_t done = waitpid(child, &waitStatus, WNOHANG);
        if (done == child) return StatusOf(waitStatus);
        if (done < 0 && errno != EINTR) return kDialStatusLost;
        const auto now = Clock::now();
        if (now >= deadline) return {};
        wait.WaitForEvents(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min<Clock::duration>(pause, deadline - now)));
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
    return {};
}

void Stop(pid_t child) {
    kill(-child, SIGTERM);
    SleepingWait sleeping;
    if (WaitUntil(child, Clock::now() + kStopGrace, sleeping)) return;
    kill(-child, SIGKILL);
    int waitStatus = 0;
    while (waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

uint32_t RunPppd(const std::string& program, const std::string& entry,
                 std::chrono::milliseconds limit, EventWait& wait) {
    std::string call = "call", linkname = "linkname", updetach = "updetach";
    std::string name = program, entryArgument = entry, linkArgument = entry;
    std::array<char*, 7> argv = {name.data(),     call.data(),         entryArgument.data(),
                                 linkname.data(), linkArgument.data(), updetach.data(),
                                 nullptr};
    SpawnSetup setup;
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), &setup.actions, &setup.attributes, argv.data(),
                     environ) != 0) {
        return kDialNotStarted;
    }
    const auto deadline = Clock::now() + limit;
    if (const auto status = WaitUntil(child, deadline, wait)) return *status;
    if (wait.StopRequested()) {
        // pppd hangs the line up on SIGTERM; it finishes that after this program has gone.
        kill(-child, SIGTERM);
        return kDialCancelled;
    }
    Stop(child);
    return kDialTimedOut;
}

}  // namespace orvane::dialup::linuxlink
