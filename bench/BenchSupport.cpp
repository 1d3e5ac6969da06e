// Verdicts, medians, child processes and /proc figures for the benchmarks.
#include "bench/BenchSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace orvane::bench {

namespace {

std::vector<Verdict>& Verdicts() {
    static std::vector<Verdict> verdicts;
    return verdicts;
}

std::string VerdictLine(const Verdict& verdict) {
    return std::string(verdict.pass ? "PASS" : "FAIL") + "  " + verdict.name + ": " + verdict.ours +
           (verdict.peer.empty() ? "" : "  vs  " + verdict.peer) +
           (verdict.limit.empty() ? "" : "  (" + verdict.limit + ")");
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The value of a "Key:  value kB" line of /proc/PID/status.
long StatusField(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    }
    return -1;
}

}  // namespace

void Judge(benchmark::State& state, const std::string& key, const Verdict& verdict) {
    Verdicts().push_back(verdict);
    state.counters[key + "_pass"] = verdict.pass ? 1 : 0;
    std::cout << VerdictLine(verdict) << std::endl;
}

void Fail(benchmark::State& state, const std::string& name, const std::string& why) {
    Verdicts().push_back({name, "could not measure: " + why, "", "", false});
    std::cout << VerdictLine(Verdicts().back()) << std::endl;
    state.SkipWithError(why.c_str());
}

int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bool allPass = true;
    std::cout << "\nVerdicts of " << std::filesystem::path(argv[0]).filename().string() << ":\n";
    for (const Verdict& verdict : Verdicts()) {
        std::cout << "  " << VerdictLine(verdict) << "\n";
        allPass = allPass && verdict.pass;
    }
    if (Verdicts().empty()) std::cout << "  (no benchmark ran)\n";
    std::cout << std::flush;
    return allPass ? 0 : 1;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

long ResidentKiB(pid_t pid) { return StatusField(pid, "VmRSS"); }
long PrivateResidentKiB(pid_t pid) { return StatusField(pid, "RssAnon"); }

double CpuSecondsOf(pid_t pid) {
    // The process's CPU clock counts nanoseconds of all its threads; /proc/PID/stat only ticks.
    clockid_t clock = 0;
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) return -1;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

long OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    long count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;  // the directory stream's own descriptor
}

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::filesystem::path ExecutableDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

TempDir::TempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& stdinText) {
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    int input[2] = {-1, -1};
    if (devNull < 0 || pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot prepare a child's descriptors");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdinText.empty() ? devNull : input[0],
                                     STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
    auto args = argv;
    auto vars = env;
    auto argPointers = CStrings(args);
    auto envPointers = CStrings(vars);
    const int error = posix_spawn(&pid_, argPointers[0], &actions, nullptr, argPointers.data(),
                                  envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    close(input[0]);
    if (error == 0 && !stdinText.empty()) {
        // Small texts only (a password line): they fit the pipe, so this never blocks.
        [[maybe_unused]] const ssize_t written =
            write(input[1], stdinText.data(), stdinText.size());
    }
    close(input[1]);
    if (error != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
}

Child::~Child() {
    if (!reaped_) Stop(std::chrono::milliseconds(1000));
}

int Child::Wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

int Child::Stop(std::chrono::milliseconds grace) {
    if (reaped_) return Wait();
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, &status_, WNOHANG) == pid_) {
            reaped_ = true;
            return Wait();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid_, SIGKILL);
    return Wait();
}

int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& stdinText) {
    Child child(argv, env, stdinText);
    return child.Wait();
}

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> env;
    for (char** var = environ; *var != nullptr; ++var) env.emplace_back(*var);
    return env;
}

}  // namespace orvane::bench
