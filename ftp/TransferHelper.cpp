// Starting, asking and ending the transfer helper process.
#include "ftp/TransferHelper.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace orvane::ftp {

namespace {

constexpr const char* kHelperName = "orvane-transfer";
constexpr int kHelperSocket = 3;  // the helper's end of the socket, in the helper
constexpr int kPollStepMs = 50;
// How long a helper that closed its socket is given to end by itself before it is killed.
constexpr int kEndSteps = 20;

// The actions that give the helper /dev/null as standard input and output, the socket as
// descriptor 3, and nothing else of this process's descriptors (stderr stays, for its faults).
bool PrepareDescriptors(posix_spawn_file_actions_t& actions, int socket) {
    return posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
           posix_spawn_file_actions_adddup2(&actions, socket, kHelperSocket) == 0 &&
           posix_spawn_file_actions_addclosefrom_np(&actions, kHelperSocket + 1) == 0;
}

// No blocked signals and every signal's default action: the program's handling of closing and
// publishing is its own.
bool PrepareSignals(posix_spawnattr_t& attributes) {
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    return posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) ==
               0 &&
           posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
           posix_spawnattr_setsigdefault(&attributes, &all) == 0;
}

int Spawn(const std::string& path, int socket, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    int result = EINVAL;
    if (PrepareDescriptors(actions, socket) && PrepareSignals(attributes)) {
        std::string name = path;
        char* argv[] = {name.data(), nullptr};
        result = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

std::string Describe(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace

std::string TransferHelperPath() {
    std::error_code error;
    const auto folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const std::array candidates = {folder / kHelperName,
                                   folder.parent_path() / "lib" / "orvane" / kHelperName};
    for (const auto& candidate : candidates) {
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return candidates.back().string();
}

std::unique_ptr<TransferHelper> TransferHelper::Start(const std::string& path, std::string& error) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = std::string("no socket for the transfer helper: ") + std::strerror(errno);
        return nullptr;
    }
    // Above 3, so that placing it at 3 in the helper always clears its close-on-exec flag.
    const int helperEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, kHelperSocket + 1);
    close(ends[1]);
    pid_t pid = -1;
    const int failed = helperEnd < 0 ? errno : Spawn(path, helperEnd, pid);
    if (helperEnd >= 0) close(helperEnd);
    if (failed != 0) {
        close(ends[0]);
        error = "cannot start the transfer helper " + path + ": " + std::strerror(failed);
        return nullptr;
    }
    return std::unique_ptr<TransferHelper>(new TransferHelper(pid, ends[0]));
}

TransferHelper::~TransferHelper() {
    close(socket_);  // a helper waiting for a request ends by itself
    Kill();
}

void TransferHelper::Kill() {
    if (reaped_) return;
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
}

std::string TransferHelper::HowItEnded(EventWait& wait) {
    if (reaped_) return "the transfer helper is no longer running";
    int status = 0;
    for (int step = 0; step < kEndSteps && !reaped_; ++step) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
        } else {
            wait.WaitForEvents(std::chrono::milliseconds(10));
        }
    }
    if (!reaped_) {
        Kill();
        return "the transfer helper stopped answering";
    }
    return "the transfer helper ended unexpectedly (" + Describe(status) + ")";
}

TransferHelper::Reply TransferHelper::Ask(const Message& request, EventWait& wait) {
    if (reaped_ || !SendAll(socket_, EncodeMessage(request))) {
        return {Status::Broken, {}, HowItEnded(wait)};
    }
    Message answer;
    for (;;) {
        switch (TakeMessage(received_, answer)) {
            case Taken::Whole: return {Status::Answered, std::move(answer), {}};
            case Taken::Garbage:
                Kill();
                return {Status::Broken, {}, "the transfer helper answered something unreadable"};
            case Taken::Partial: break;
        }
        pollfd ready{socket_, POLLIN, 0};
        if (poll(&ready, 1, kPollStepMs) > 0) {
            char chunk[4096];
            const ssize_t got = read(socket_, chunk, sizeof chunk);
            if (got > 0) {
                received_.append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                return {Status::Broken, {}, HowItEnded(wait)};
            }
        }
        wait.WaitForEvents(std::chrono::milliseconds(0));
        if (wait.StopRequested()) {
            Kill();
            return {Status::Cancelled, {}, {}};
        }
    }
}

}  // namespace orvane::ftp
