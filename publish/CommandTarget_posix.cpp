// The command target on POSIX: the user's program started without a shell, the new address its
// one argument, standard input from /dev/null, ended when it runs past its time or the program
// closes.
#include "publish/CommandTarget.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

extern char** environ;

namespace orvane::publish {

namespace {

constexpr std::chrono::milliseconds kPollStep{50};

// The program's environment without any ORVANE_ variable of its own, then the target's.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!std::string_view(*entry).starts_with("ORVANE_")) variables.emplace_back(*entry);
    variables.insert(variables.end(), added.begin(), added.end());
    return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The child starts with the default signal handling and nothing blocked, whatever the program
// has set up for itself, and in a process group of its own so that ending it ends its children.
struct SpawnAttributes {
    posix_spawnattr_t attributes;
    SpawnAttributes() {
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        // The program's own files (the lock, the log, its sockets) are none of the child's.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

std::string Ending(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    return "ended with status " + std::to_string(status);
}

class PosixCommandTarget final : public Target {
  public:
    PosixCommandTarget(CommandSettings settings, std::chrono::milliseconds limit)
        : settings_(std::move(settings)), limit_(limit) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses& previous,
                    EventWait& wait) override {
        std::vector<std::string> arguments{settings_.program, now.ipv4};
        std::vector<std::string> environment = ChildEnvironment(CommandEnvironment(now, previous));
        std::vector<char*> argv = Pointers(arguments);
        std::vector<char*> envp = Pointers(environment);
        const SpawnAttributes attributes;
        const SpawnActions actions;
        pid_t child = -1;
        const int error = posix_spawn(&child, settings_.program.c_str(), &actions.actions,
                                      &attributes.attributes, argv.data(), envp.data());
        if (error != 0)
            return {Verdict::Failed,
                    "cannot run " + settings_.program + ": " + std::strerror(error),
                    {}};
        return AwaitEnd(child, wait);
    }

  private:
    Outcome AwaitEnd(pid_t child, EventWait& wait) const {
        const auto deadline = std::chrono::steady_clock::now() + limit_;
        for (;;) {
            int status = 0;
            const pid_t ended = waitpid(child, &status, WNOHANG);
            if (ended == child) {
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    return {Verdict::Accepted, {}, {}};
                return {Verdict::Failed, settings_.program + ": " + Ending(status), {}};
            }
            if (ended < 0 && errno != EINTR)
                return {Verdict::Failed, settings_.program + ": " + std::strerror(errno), {}};
            if (wait.StopRequested()) return End(child, "ended: the program is closing");
            if (std::chrono::steady_clock::now() >= deadline)
                return End(child, "ended after " + std::to_string(limit_.count() / 1000) +
                                      " s without finishing");
            wait.WaitForEvents(kPollStep);
        }
    }

    // The program and whatever it started in its group are killed and reaped.
    Outcome End(pid_t child, const std::string& why) const {
        kill(-child, SIGKILL);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return {Verdict::Failed, settings_.program + ": " + why, {}};
    }

    CommandSettings settings_;
    std::chrono::milliseconds limit_;
};

}  // namespace

std::unique_ptr<Target> MakeCommandTarget(const CommandSettings& settings) {
    return MakeCommandTarget(settings, kCommandTimeLimit);
}

std::unique_ptr<Target> MakeCommandTarget(const CommandSettings& settings,
                                          std::chrono::milliseconds limit) {
    return std::make_unique<PosixCommandTarget>(settings, limit);
}

}  // namespace orvane::publish
