// Shared pieces of the benchmarks: verdicts against limits, medians, child processes and the
// figures the kernel keeps about a process (resident memory, CPU time, open descriptors).
#pragma once

#include <benchmark/benchmark.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace orvane::bench {

// One figure of ours held against the peer's (or against a baseline) under a limit.
struct Verdict {
    std::string name;   // e.g. "start-up time"
    std::string ours;   // e.g. "orvane 81.2 ms"
    std::string peer;   // e.g. "minimal window 77.0 ms"
    std::string limit;  // e.g. "ratio 1.05, limit 1.30"
    bool pass = false;
};

// Records the verdict, prints its line at once, and sets the counter "<key>_pass" (1 or 0).
void Judge(benchmark::State& state, const std::string& key, const Verdict& verdict);
// Records a failure that kept a benchmark from measuring at all, and skips it.
void Fail(benchmark::State& state, const std::string& name, const std::string& why);

// Initialises Google Benchmark, runs what the command line selects, prints the verdicts and
// returns the exit status: 0 when every limit held, 1 otherwise.
int RunBenchmarks(int argc, char** argv);

double Median(std::vector<double> values);
std::string Fixed(double value, int decimals);

// Whole processes, read from /proc.
long ResidentKiB(pid_t pid);         // VmRSS
long PrivateResidentKiB(pid_t pid);  // RssAnon: the part of VmRSS no other process shares
double CpuSecondsOf(pid_t pid);      // user + system time of all its threads, -1 if unreadable
long OpenDescriptorCount();          // of this process
double OwnCpuSeconds();              // getrusage(RUSAGE_SELF): user + system

std::filesystem::path ExecutableDir();

// A temporary directory, removed with everything in it when this goes.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "orvane-bench");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A child process started without a shell, its output thrown away; `stdinText` (if any) is
// its standard input. The destructor stops and reaps a child still running.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::string& stdinText = {});
    // Takes over a child started elsewhere.
    explicit Child(pid_t started) : pid_(started) {}
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the end; the exit status, or 128 + signal number.
    int Wait();
    // SIGTERM, then SIGKILL if it has not ended within `grace`; returns as Wait().
    int Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

// Runs a program to its end and returns its exit status as Child::Wait().
int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& stdinText = {});

// The environment of this process, for children that should see it.
std::vector<std::string> CurrentEnvironment();

}  // namespace orvane::bench
