// Start-up of the orvane window program against a minimal Qt Widgets program, both on a private
// Xvfb: time from process start to the window's first drawing, resident memory once started, and
// the CPU an idle orvane uses.
//
// Method: the benchmark watches the X server, not the programs. Before it starts a program it
// asks the server for MapNotify of top-level windows and for DAMAGE reports of the whole screen;
// "shown" is the first drawing that lands inside the first mapped window, so a program that
// maps an empty window and draws later pays for the drawing. Both programs run alternately with
// the same environment, ten times each, and the medians are compared. Resident memory is VmRSS
// half a second after that first drawing. orvane runs from a temporary folder with a settings
// file written by orvane-config whose first publish is a day away, so no cycle runs.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "bench/BenchSupport.h"
#include "bench/PrivateDisplay.h"

namespace orvane::bench {
namespace {

using namespace std::chrono_literals;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 15;
constexpr double kStartupLimit = 1.3;  // times the minimal program's
constexpr double kMemoryLimit = 1.2;
constexpr double kIdleCpuLimit = 0.01;  // of wall time
constexpr auto kShowLimit = 15s;
constexpr auto kSettle = 500ms;
constexpr auto kIdleWindow = 5s;

// The two programs, ready to start on the private display.
struct Stage {
    PrivateDisplay display;
    TempDir dir{"orvane-bench-startup"};
    std::vector<std::string> orvane;
    std::vector<std::string> minimal;
    std::vector<std::string> env;
};

std::unique_ptr<Stage> MakeStage() {
    auto stage = std::make_unique<Stage>();
    const auto bin = ExecutableDir();
    const auto app = stage->dir.path() / "app";
    const auto runtime = stage->dir.path() / "runtime";
    std::filesystem::create_directory(app);
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    std::filesystem::copy_file(bin / "orvane", app / "orvane");
    stage->env = {"DISPLAY=" + stage->display.Name(),
                  "QT_QPA_PLATFORM=xcb",
                  "HOME=" + stage->dir.path().string(),
                  "XDG_RUNTIME_DIR=" + runtime.string(),
                  "PATH=/usr/bin:/bin",
                  "LANG=C.UTF-8"};
    const int written =
        RunToEnd({(bin / "orvane-config").string(), "write", (app / "orvane.ini").string(),
                  "--server", "127.0.0.1:2121", "--user", "bench", "--path", "/", "--file",
                  "ip.txt", "--interval", "600", "--first", "86400"},
                 stage->env, "throwaway-password\n");
    if (written != 0) throw std::runtime_error("orvane-config could not write the settings file");
    stage->orvane = {(app / "orvane").string()};
    stage->minimal = {(bin / "minimal_window").string()};
    return stage;
}

struct StartFigures {
    double mappedMs = 0;
    double shownMs = 0;
    double residentMiB = 0;
    std::string size;
};

// Starts the program, waits for its window's first drawing and its settling, and ends it.
std::optional<StartFigures> StartOnce(Stage& stage, const std::vector<std::string>& argv) {
    stage.display.Forget();
    const auto start = std::chrono::steady_clock::now();
    Child child(argv, stage.env);
    const auto shown = stage.display.WaitForWindow(kShowLimit);
    if (!shown) return std::nullopt;
    std::this_thread::sleep_for(kSettle);
    StartFigures figures{Millis(shown->mapped - start).count(),
                         Millis(shown->painted - start).count(),
                         static_cast<double>(ResidentKiB(child.pid())) / 1024.0,
                         std::to_string(shown->width) + "x" + std::to_string(shown->height)};
    child.Stop();
    return figures;
}

std::string Ratio(double ours, double peer, double limit) {
    return "ratio " + Fixed(ours / peer, 2) + ", limit " + Fixed(limit, 2);
}

void BM_StartUp(benchmark::State& state) {
    std::unique_ptr<Stage> stage;
    try {
        stage = MakeStage();
    } catch (const std::exception& error) {
        return Fail(state, "start-up", error.what());
    }
    std::vector<double> oursMapped, oursShown, oursMemory, peerMapped, peerShown, peerMemory;
    std::string oursSize, peerSize;
    int run = 0;
    for (auto _ : state) {
        // Alternate which one goes first, so neither always meets the warmer caches.
        std::optional<StartFigures> ours, peer;
        if (run++ % 2 == 0) {
            ours = StartOnce(*stage, stage->orvane);
            peer = StartOnce(*stage, stage->minimal);
        } else {
            peer = StartOnce(*stage, stage->minimal);
            ours = StartOnce(*stage, stage->orvane);
        }
        if (!ours || !peer) return Fail(state, "start-up", "a window did not appear within 15 s");
        state.SetIterationTime(ours->shownMs / 1000.0);
        oursSize = ours->size, peerSize = peer->size;
        oursMapped.push_back(ours->mappedMs), oursShown.push_back(ours->shownMs);
        oursMemory.push_back(ours->residentMiB);
        peerMapped.push_back(peer->mappedMs), peerShown.push_back(peer->shownMs);
        peerMemory.push_back(peer->residentMiB);
    }
    const double ourTime = Median(oursShown), peerTime = Median(peerShown);
    const double ourMemory = Median(oursMemory), peerMemoryMedian = Median(peerMemory);
    state.counters["orvane_ms"] = ourTime;
    state.counters["minimal_ms"] = peerTime;
    state.counters["orvane_MiB"] = ourMemory;
    state.counters["minimal_MiB"] = peerMemoryMedian;
    std::cout << "start-up medians of " << oursShown.size() << " runs each: window mapped "
              << Fixed(Median(oursMapped), 1) << " ms vs " << Fixed(Median(peerMapped), 1)
              << " ms; first drawing " << Fixed(ourTime, 1) << " ms vs " << Fixed(peerTime, 1)
              << " ms (orvane vs minimal window; windows " << oursSize << " vs " << peerSize
              << " pixels)\n";
    Judge(state, "time",
          {"start-up time to the window's first drawing (median)",
           "orvane " + Fixed(ourTime, 1) + " ms", "minimal window " + Fixed(peerTime, 1) + " ms",
           Ratio(ourTime, peerTime, kStartupLimit), ourTime <= kStartupLimit * peerTime});
    Judge(
        state, "memory",
        {"resident memory after start-up (median VmRSS)", "orvane " + Fixed(ourMemory, 1) + " MiB",
         "minimal window " + Fixed(peerMemoryMedian, 1) + " MiB",
         Ratio(ourMemory, peerMemoryMedian, kMemoryLimit),
         ourMemory <= kMemoryLimit * peerMemoryMedian});
}
BENCHMARK(BM_StartUp)->Iterations(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

// Both programs idle side by side; CPU time (user + system, all threads, from the process CPU
// clock, which is exact where /proc/PID/stat counts 10 ms ticks) over the same five seconds.
void BM_IdleCpu(benchmark::State& state) {
    std::unique_ptr<Stage> stage;
    try {
        stage = MakeStage();
    } catch (const std::exception& error) {
        return Fail(state, "idle CPU", error.what());
    }
    for (auto _ : state) {
        Child ours(stage->orvane, stage->env);
        const bool oursShown = stage->display.WaitForWindow(kShowLimit).has_value();
        Child peer(stage->minimal, stage->env);
        const bool peerShown = stage->display.WaitForWindow(kShowLimit).has_value();
        if (!oursShown || !peerShown)
            return Fail(state, "idle CPU", "a window did not appear within 15 s");
        std::this_thread::sleep_for(1s);  // past start-up
        const auto from = std::chrono::steady_clock::now();
        const double ourFrom = CpuSecondsOf(ours.pid()), peerFrom = CpuSecondsOf(peer.pid());
        std::this_thread::sleep_for(kIdleWindow);
        const double ourCpu = CpuSecondsOf(ours.pid()) - ourFrom;
        const double peerCpu = CpuSecondsOf(peer.pid()) - peerFrom;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        state.SetIterationTime(wall);
        state.counters["orvane_cpu_pct"] = 100 * ourCpu / wall;
        state.counters["minimal_cpu_pct"] = 100 * peerCpu / wall;
        Judge(
            state, "idle",
            {"idle CPU over " + Fixed(wall, 1) + " s (process CPU clock)",
             "orvane " + Fixed(100 * ourCpu / wall, 2) + " % (" + Fixed(ourCpu * 1000, 0) + " ms)",
             "minimal window " + Fixed(100 * peerCpu / wall, 2) + " % (" +
                 Fixed(peerCpu * 1000, 0) + " ms)",
             "limit " + Fixed(100 * kIdleCpuLimit, 1) + " %", ourCpu < kIdleCpuLimit * wall});
    }
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) { return orvane::bench::RunBenchmarks(argc, argv); }
