// The connect delay's wait: WaitMilliseconds(5000) in the real Qt window and event loop
// (offscreen), with the window's one-second timer running, must use under 1 % of the wall time
// in CPU. The peer is a busy-wait loop, the way such a wait is often written: it runs for 0.5 s
// and its figure is scaled to 5 s (a busy wait's CPU share does not depend on its length).
#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>

#include "bench/BenchSupport.h"
#include "form/Clock.h"
#include "form/fOrvane.h"
#include "qt/OrvaneWindow.h"
#include "tests/support/Fakes.h"

namespace orvane::bench {
namespace {

using Seconds = std::chrono::duration<double>;
using testing::FakeSupport;

constexpr double kWaitMs = 5000;
constexpr auto kBusyWait = std::chrono::milliseconds(500);
constexpr double kCpuLimit = 0.01;  // of wall time

struct Share {
    double cpu = 0;
    double wall = 0;
    double fraction() const { return wall > 0 ? cpu / wall : 1; }
};

template <typename Wait>
Share Measure(Wait wait) {
    const double cpu = OwnCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    wait();
    return {OwnCpuSeconds() - cpu, Seconds(std::chrono::steady_clock::now() - start).count()};
}

void SpinFor(std::chrono::milliseconds length) {
    const auto end = std::chrono::steady_clock::now() + length;
    volatile unsigned long spins = 0;
    while (std::chrono::steady_clock::now() < end) spins = spins + 1;
}

// Lets the event loop run for a while, as the program does between ticks.
void RunEventLoopFor(std::chrono::milliseconds length) {
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

void BM_DelayWait(benchmark::State& state) {
    TempDir appDir("orvane-bench-wait");
    FakeSupport support(appDir.path());
    support.values = {{"GENERAL/INTERVAL", "1"},
                      {"GENERAL/FIRST", "86400"},
                      {"GENERAL/DELAY", "5000"},
                      {"FTP/SERVER", FakeSupport::Encode("127.0.0.1")},
                      {"FTP/USER", FakeSupport::Encode("bench")},
                      {"FTP/PATH", FakeSupport::Encode("/")},
                      {"FTP/FILE", "ip.txt"},
                      {"FTP/PASSWORD", FakeSupport::Encode("unused")}};
    testing::FakeLinks links;
    testing::FakeUploader uploader;
    SystemClock clock;
    OrvaneWindow window;
    std::optional<int> fatal;
    fOrvane logic(window, support, links, uploader, clock, [&](int status) { fatal = status; });
    window.Attach(&logic);
    if (!logic.Load()) return Fail(state, "delay wait", "the window's start-up failed");
    window.ShowFirstTime();
    RunEventLoopFor(std::chrono::milliseconds(300));

    for (auto _ : state) {
        const Share ours = Measure([&] { logic.WaitMilliseconds(kWaitMs); });
        const Share peer = Measure([] { SpinFor(kBusyWait); });
        state.SetIterationTime(ours.wall);
        state.counters["orvane_cpu_pct"] = 100 * ours.fraction();
        state.counters["busy_cpu_pct"] = 100 * peer.fraction();
        if (fatal) return Fail(state, "delay wait", "the window ended with a fatal error");
        const double scale = kWaitMs / 1000.0 / peer.wall;
        Judge(state, "wait",
              {"CPU during a " + Fixed(kWaitMs / 1000, 0) + " s connect delay",
               "WaitMilliseconds " + Fixed(ours.cpu * 1000, 1) + " ms CPU in " +
                   Fixed(ours.wall, 3) + " s = " + Fixed(100 * ours.fraction(), 2) + " %",
               "busy wait " + Fixed(peer.cpu * scale * 1000, 0) + " ms CPU per 5 s = " +
                   Fixed(100 * peer.fraction(), 1) + " % (0.5 s run, scaled)",
               "limit " + Fixed(100 * kCpuLimit, 1) + " %",
               ours.fraction() < kCpuLimit && ours.wall * 1000 >= kWaitMs});
        // Ticks came during the wait: the countdown shows the window kept working.
        state.counters["ticks_during_wait"] = 86400 - logic.State().Countdown;
    }
}
BENCHMARK(BM_DelayWait)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    // Headless, with the real event loop and event dispatcher.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    return orvane::bench::RunBenchmarks(argc, argv);
}
