// The command target on Windows: the user's program started with CreateProcess, no shell, the
// new address its one argument, standard input from NUL, in a job that is ended with everything
// it started when it runs past its time or the program closes.
#include "publish/CommandTarget.h"

#include <windows.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace orvane::publish {

namespace {

constexpr std::chrono::milliseconds kPollStep{50};

struct Handle {
    HANDLE handle = nullptr;
    ~Handle() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// The program's environment without any ORVANE_ variable of its own, then the target's, as the
// block CreateProcess takes: each "NAME=value" ends with NUL, the block with another.
std::string EnvironmentBlock(const std::vector<std::string>& added) {
    std::string block;
    if (char* current = GetEnvironmentStringsA()) {
        for (const char* entry = current; *entry != '\0'; entry += std::strlen(entry) + 1)
            if (!std::string_view(entry).starts_with("ORVANE_"))
                block.append(entry).push_back('\0');
        FreeEnvironmentStringsA(current);
    }
    for (const std::string& variable : added) block.append(variable).push_back('\0');
    block.push_back('\0');
    return block;
}

class Win32CommandTarget final : public Target {
  public:
    Win32CommandTarget(CommandSettings settings, std::chrono::milliseconds limit)
        : settings_(std::move(settings)), limit_(limit) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses& previous,
                    EventWait& wait) override {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        Handle input{CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr)};
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.handle;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        // The program's name quoted as the C runtime splits a command line; an address holds
        // nothing that needs quoting.
        std::string commandLine = "\"" + settings_.program + "\" " + now.ipv4;
        std::string environment = EnvironmentBlock(CommandEnvironment(now, previous));
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(settings_.program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED | CREATE_NO_WINDOW, environment.data(), nullptr,
                            &startup, &process))
            return Failed("cannot run it (error " + std::to_string(GetLastError()) + ")");
        Handle child{process.hProcess}, thread{process.hThread};
        Handle job{CreateJobObjectA(nullptr, nullptr)};
        if (job.handle != nullptr) AssignProcessToJobObject(job.handle, child.handle);
        ResumeThread(thread.handle);
        return AwaitEnd(child.handle, job.handle, wait);
    }

  private:
    Outcome AwaitEnd(HANDLE child, HANDLE job, EventWait& wait) const {
        const auto deadline = std::chrono::steady_clock::now() + limit_;
        while (WaitForSingleObject(child, 0) == WAIT_TIMEOUT) {
            if (wait.StopRequested()) return End(child, job, "ended: the program is closing");
            if (std::chrono::steady_clock::now() >= deadline)
                return End(child, job,
                           "ended after " + std::to_string(limit_.count() / 1000) +
                               " s without finishing");
            wait.WaitForEvents(kPollStep);
        }
        DWORD status = 0;
        GetExitCodeProcess(child, &status);
        if (status == 0) return {Verdict::Accepted, {}, {}};
        return Failed("exit status " + std::to_string(status));
    }

    Outcome End(HANDLE child, HANDLE job, const std::string& why) const {
        if (job == nullptr || !TerminateJobObject(job, 1)) TerminateProcess(child, 1);
        WaitForSingleObject(child, 5000);
        return Failed(why);
    }

    Outcome Failed(const std::string& why) const {
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
    return std::make_unique<Win32CommandTarget>(settings, limit);
}

}  // namespace orvane::publish
