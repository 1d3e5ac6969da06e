// A thousand publish cycles back to back against the loopback server, over plain FTP and over
// FTP with TLS (argument 0 and 1): after the first 50 the
// open descriptors must not grow at all and the resident memory by at most 1 MiB (allocator
// and library caches may still settle a little; a leak per cycle would show far more).
#include <chrono>
#include <iostream>

#include "bench/BenchSupport.h"
#include "bench/PublishRig.h"

namespace orvane::bench {
namespace {

constexpr int kCycles = 1000;
constexpr int kWarmUp = 50;
constexpr long kResidentToleranceKiB = 1024;

void BM_Soak(benchmark::State& state) {
    const bool tls = state.range(0) == 1;
    std::unique_ptr<PublishRig> rig;
    try {
        rig = std::make_unique<PublishRig>(tls ? "ftps" : "ftp");
    } catch (const std::exception& error) {
        return Fail(state, "soak", error.what());
    }
    long baseFds = 0, baseKiB = 0, peakFds = 0, peakKiB = 0;
    int cycle = 0, failed = 0;
    for (auto _ : state) {
        if (!rig->PublishOnce()) ++failed;
        if (++cycle == kWarmUp) {
            baseFds = OpenDescriptorCount();
            baseKiB = ResidentKiB(getpid());
        }
        if (cycle >= kWarmUp) {
            peakFds = std::max(peakFds, OpenDescriptorCount());
            peakKiB = std::max(peakKiB, ResidentKiB(getpid()));
        }
    }
    const long endFds = OpenDescriptorCount(), endKiB = ResidentKiB(getpid());
    state.counters["fds_after_50"] = static_cast<double>(baseFds);
    state.counters["fds_end"] = static_cast<double>(endFds);
    state.counters["rss_KiB_after_50"] = static_cast<double>(baseKiB);
    state.counters["rss_KiB_end"] = static_cast<double>(endKiB);
    state.counters["failed_cycles"] = failed;
    const std::string cycles = std::to_string(cycle);
    const std::string over = tls ? " over FTPS" : " over FTP";
    Judge(state, "cycles",
          {"cycles that ended Online" + over, std::to_string(cycle - failed) + " of " + cycles, "",
           "limit: all", failed == 0});
    Judge(state, "fds",
          {"open descriptors" + over,
           "after " + cycles + " cycles " + std::to_string(endFds) + " (peak " +
               std::to_string(peakFds) + ")",
           "after 50: " + std::to_string(baseFds), "limit: no growth",
           peakFds <= baseFds && endFds <= baseFds});
    Judge(state, "rss",
          {"resident memory (VmRSS)" + over,
           "after " + cycles + " cycles " + std::to_string(endKiB) + " KiB (peak " +
               std::to_string(peakKiB) + ")",
           "after 50: " + std::to_string(baseKiB) + " KiB",
           "growth to peak " + std::to_string(peakKiB - baseKiB) + " KiB, limit " +
               std::to_string(kResidentToleranceKiB) + " KiB",
           peakKiB - baseKiB <= kResidentToleranceKiB});
}
BENCHMARK(BM_Soak)->Arg(0)->Arg(1)->Iterations(kCycles)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) { return orvane::bench::RunBenchmarks(argc, argv); }
