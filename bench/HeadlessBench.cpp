// orvane-headless (the program without the window's libraries) against inadyn, a lean
// dynamic-DNS client daemon, both publishing this machine's address once and then idling side by
// side: resident memory after the first publication, with what it is made of per library, and
// the CPU used over ten idle seconds.
//
// Method: the benchmark moves itself into private network and mount namespaces (root only) with
// a /run of its own and a tun link 203.0.113.45 standing for the dial-up connection, owned as
// pppd owns its links by a stand-in pppd named in /run/ppp0.pid; all of it goes when the
// benchmark ends. orvane runs from an application folder of its own, its first cycle after a
// second, uploading to the loopback test FTP server; inadyn runs in the foreground, reads the
// same link's address and sends its update to a loopback HTTP server standing for the provider.
// "Published" is orvane's log line for the confirmed upload and the provider's record of
// inadyn's request; resident memory is VmRSS half a second later, and its parts per mapped file
// (Rss and Private_* of /proc/PID/smaps) are printed for both.
//
// A second benchmark replaces the link's address with ip (INTERVAL 600 for orvane, inadyn
// checking as often as it can) several times and times, from each replacement, the new address
// in the file on the FTP server and in the provider's record of inadyn's request: the medians.
// The replacements fall at points spread over inadyn's period, not just after its last check.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "bench/BenchSupport.h"
#include "tests/support/FtpTestServer.h"

namespace orvane::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kMemoryLimit = 3.0;    // times inadyn's
constexpr double kIdleCpuLimit = 0.01;  // of wall time
constexpr auto kPublishLimit = 30s;
constexpr auto kSettle = 500ms;
constexpr auto kIdleWindow = 10s;
constexpr auto kChangeLimit = 1s;  // orvane's median, from the replacement to the new file
constexpr auto kChangeWait = 90s;  // for either side, before a sample counts as missed
constexpr int kChanges = 5;
constexpr int kShortestPeriod = 30;  // inadyn's shortest checking period, in seconds
constexpr const char* kIp = "/usr/sbin/ip";
constexpr const char* kInadyn = "/usr/sbin/inadyn";
constexpr const char* kPython = "/usr/bin/python3";

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Polls every 20 ms until `done` holds or `limit` has passed.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// This process and everything it starts from here on see only loopback and the tun link, and
// a /run of their own: no pid file or system bus of the machine's.
void EnterPrivateNetwork(const std::vector<std::string>& env) {
    if (geteuid() != 0) throw std::runtime_error("needs root to make a private network namespace");
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        throw std::runtime_error("unshare(CLONE_NEWNET | CLONE_NEWNS) failed");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0)
        throw std::runtime_error("cannot mount a private /run");
    const std::vector<std::vector<std::string>> commands = {
        {"link", "set", "lo", "up"},
        {"tuntap", "add", "dev", "ppp0", "mode", "tun"},
        {"addr", "add", "203.0.113.45", "peer", "203.0.113.1", "dev", "ppp0"},
        {"link", "set", "ppp0", "up"}};
    for (auto command : commands) {
        command.insert(command.begin(), kIp);
        if (RunToEnd(command, env) != 0) throw std::runtime_error("cannot make the tun link");
    }
}

// The link's owner as pppd would be: a live process named in /run/ppp0.pid, which ends with
// the benchmark even when the benchmark is killed.
std::unique_ptr<Child> StartStandInPppd(const std::vector<std::string>& env) {
    auto pppd = std::make_unique<Child>(std::vector<std::string>{"/usr/bin/setpriv", "--pdeathsig",
                                                                 "KILL", "/bin/sleep", "infinity"},
                                        env);
    std::ofstream("/run/ppp0.pid") << pppd->pid() << "\n";
    return pppd;
}

// orvane-headless, its transfer helper and its settings (written by orvane-config) in a folder of
// their own.
std::unique_ptr<Child> StartOrvane(const std::filesystem::path& app,
                                   const testing::FtpTestServer& ftp,
                                   const std::vector<std::string>& env) {
    const auto bin = ExecutableDir();
    std::filesystem::create_directory(app);
    for (const char* program : {"orvane-headless", "orvane-transfer"}) {
        std::filesystem::copy_file(bin / program, app / program);
    }
    const int written =
        RunToEnd({(bin / "orvane-config").string(), "write", (app / "orvane.ini").string(),
                  "--server", ftp.address(), "--user", ftp.options().user, "--path", "/", "--file",
                  "ip.txt", "--interval", "600", "--first", "1"},
                 env, ftp.options().password + "\n");
    if (written != 0) throw std::runtime_error("orvane-config could not write the settings file");
    return std::make_unique<Child>(std::vector<std::string>{(app / "orvane-headless").string()},
                                   env);
}

// Resident memory per mapped file (the anonymous mappings, heap and stacks as one), largest first.
struct MappedMemory {
    std::string name;
    long residentKiB = 0;
    long privateKiB = 0;
};

std::vector<MappedMemory> MemoryByMapping(pid_t pid) {
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
    std::map<std::string, MappedMemory> parts;
    MappedMemory* current = nullptr;
    for (std::string line; std::getline(smaps, line);) {
        std::istringstream fields(line);
        std::string first, name;
        long kiB = 0;
        fields >> first;
        if (first.find('-') != std::string::npos) {  // a mapping's header: range perms ... path
            for (int skip = 0; skip < 4; ++skip) fields >> name;
            name.clear();
            fields >> name;
            if (name.empty() || name[0] != '/') name = "(anonymous, heap, stacks)";
            current = &parts[name];
            current->name = name.substr(name.rfind('/') + 1);
        } else if (current != nullptr && (fields >> kiB)) {
            if (first == "Rss:") current->residentKiB += kiB;
            if (first == "Private_Clean:" || first == "Private_Dirty:") current->privateKiB += kiB;
        }
    }
    std::vector<MappedMemory> sorted;
    for (auto& [path, part] : parts)
        if (part.residentKiB > 0) sorted.push_back(part);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.residentKiB > b.residentKiB; });
    return sorted;
}

void PrintMemoryByMapping(const std::string& who, pid_t pid) {
    std::cout << "resident memory of " << who << " per mapped file (KiB resident, private):\n";
    for (const MappedMemory& part : MemoryByMapping(pid))
        std::cout << "  " << std::setw(6) << part.residentKiB << " " << std::setw(6)
                  << part.privateKiB << "  " << part.name << "\n";
}

// One custom provider over plain HTTP, the address checked every `period` seconds.
std::string InadynConfig(const std::string& port, int period) {
    return "period = " + std::to_string(period) +
           "\n"
           "custom bench {\n"
           "    ssl = false\n"
           "    username = bench\n"
           "    password = bench-pw\n"
           "    ddns-server = \"127.0.0.1:" +
           port +
           "\"\n"
           "    ddns-path = \"/update?hostname=%h&myip=%i\"\n"
           "    hostname = bench.example.net\n"
           "}\n";
}

// The provider's HTTP server and inadyn in the foreground, its address read from the link.
struct InadynSide {
    std::unique_ptr<Child> provider;
    std::unique_ptr<Child> inadyn;
    std::filesystem::path requests;
};

InadynSide StartInadyn(const std::filesystem::path& dir, const std::vector<std::string>& env,
                       int period = 600) {
    InadynSide side;
    const auto portFile = dir / "port";
    side.requests = dir / "requests";
    side.provider =
        std::make_unique<Child>(std::vector<std::string>{kPython, ORVANE_UPDATE_SERVER_SCRIPT,
                                                         portFile.string(), side.requests.string()},
                                env);
    if (!WaitUntil([&] { return std::filesystem::exists(portFile); }, 10s))
        throw std::runtime_error("the provider's HTTP server did not start");
    const auto config = dir / "inadyn.conf";
    std::ofstream(config) << InadynConfig(ReadText(portFile), period);
    side.inadyn = std::make_unique<Child>(
        std::vector<std::string>{kInadyn, "--foreground", "--config", config.string(), "--iface",
                                 "ppp0", "--cache-dir", (dir / "cache").string(), "--no-pidfile"},
        env);
    return side;
}

// The two sides over the same link: a private network with a stand-in pppd owning ppp0, the
// loopback FTP server with orvane-headless publishing to it, and inadyn with its provider.
// Members end in reverse order: the programs before the link and the servers.
struct Contest {
    explicit Contest(const std::string& prefix) : dir(prefix) {}

    // Everything started, inadyn checking every `period` seconds; throws what failed.
    void Start(const std::vector<std::string>& env, int period = 600) {
        if (access(kInadyn, X_OK) != 0) throw std::runtime_error("inadyn is not installed");
        EnterPrivateNetwork(env);
        pppd = StartStandInPppd(env);
        testing::FtpServerOptions account;
        account.user = "bench";
        ftp = std::make_unique<testing::FtpTestServer>(account);
        const std::vector<std::string> orvaneEnv = {"HOME=" + dir.path().string(),
                                                    "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
        orvane = StartOrvane(dir.path() / "app", *ftp, orvaneEnv);
        inadyn = StartInadyn(dir.path(), env, period);
    }

    TempDir dir;
    std::unique_ptr<testing::FtpTestServer> ftp;
    std::unique_ptr<Child> pppd;
    std::unique_ptr<Child> orvane;
    InadynSide inadyn;
};

void BM_HeadlessAgainstInadyn(benchmark::State& state) {
    const auto env = CurrentEnvironment();
    Contest contest("orvane-bench-headless");
    try {
        contest.Start(env);
    } catch (const std::exception& error) {
        return Fail(state, "headless against inadyn", error.what());
    }
    for (auto _ : state) {
        const bool published = WaitUntil(
            [&] {
                return ReadText(contest.dir.path() / "app" / "orvane.log").find("Cambio IP") !=
                           std::string::npos &&
                       !ReadText(contest.inadyn.requests).empty();
            },
            kPublishLimit);
        if (!published)
            return Fail(state, "headless against inadyn",
                        "a first publication did not come within 30 s");
        std::this_thread::sleep_for(kSettle);
        const double ourMiB = ResidentKiB(contest.orvane->pid()) / 1024.0;
        const double peerMiB = ResidentKiB(contest.inadyn.inadyn->pid()) / 1024.0;
        // Most of it is libraries' pages, shared with every other process that maps them.
        auto privatePart = [](pid_t pid) {
            return " (" + Fixed(PrivateResidentKiB(pid) / 1024.0, 1) + " MiB private)";
        };
        const std::string ourPrivate = privatePart(contest.orvane->pid());
        const std::string peerPrivate = privatePart(contest.inadyn.inadyn->pid());
        PrintMemoryByMapping("orvane-headless", contest.orvane->pid());
        PrintMemoryByMapping("inadyn", contest.inadyn.inadyn->pid());

        const auto from = std::chrono::steady_clock::now();
        const double ourFrom = CpuSecondsOf(contest.orvane->pid()),
                     peerFrom = CpuSecondsOf(contest.inadyn.inadyn->pid());
        std::this_thread::sleep_for(kIdleWindow);
        const double ourCpu = CpuSecondsOf(contest.orvane->pid()) - ourFrom;
        const double peerCpu = CpuSecondsOf(contest.inadyn.inadyn->pid()) - peerFrom;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        state.SetIterationTime(wall);

        state.counters["orvane_MiB"] = ourMiB;
        state.counters["inadyn_MiB"] = peerMiB;
        Judge(state, "memory",
              {"resident memory after the first publication (VmRSS)",
               "orvane-headless " + Fixed(ourMiB, 1) + " MiB" + ourPrivate,
               "inadyn " + Fixed(peerMiB, 1) + " MiB" + peerPrivate,
               "ratio " + Fixed(ourMiB / peerMiB, 2) + ", limit " + Fixed(kMemoryLimit, 2),
               ourMiB <= kMemoryLimit * peerMiB});
        Judge(state, "idle",
              {"idle CPU over " + Fixed(wall, 1) + " s after it (process CPU clock)",
               "orvane-headless " + Fixed(100 * ourCpu / wall, 3) + " % (" +
                   Fixed(ourCpu * 1000, 1) + " ms)",
               "inadyn " + Fixed(100 * peerCpu / wall, 3) + " % (" + Fixed(peerCpu * 1000, 1) +
                   " ms)",
               "limit " + Fixed(100 * kIdleCpuLimit, 1) + " %", ourCpu < kIdleCpuLimit * wall});
    }
}
BENCHMARK(BM_HeadlessAgainstInadyn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The address of ppp0 replaced by `address`, as a removal and an addition.
bool ReplaceAddress(const std::string& from, const std::string& to,
                    const std::vector<std::string>& env) {
    return RunToEnd({kIp, "addr", "del", from, "peer", "203.0.113.1", "dev", "ppp0"}, env) == 0 &&
           RunToEnd({kIp, "addr", "add", to, "peer", "203.0.113.1", "dev", "ppp0"}, env) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_AddressChangeAgainstInadyn(benchmark::State& state) {
    const auto env = CurrentEnvironment();
    Contest contest("orvane-bench-change");
    try {
        contest.Start(env, kShortestPeriod);
    } catch (const std::exception& error) {
        return Fail(state, "address change against inadyn", error.what());
    }
    const auto file = contest.ftp->root() / "ip.txt";
    for (auto _ : state) {
        const bool first = WaitUntil(
            [&] {
                return ReadText(file).find("203.0.113.45") != std::string::npos &&
                       ReadText(contest.inadyn.requests).find("203.0.113.45") != std::string::npos;
            },
            kChangeWait);
        if (!first) return Fail(state, "address change against inadyn", "no first publication");
        std::vector<double> ours, peers;
        std::string address = "203.0.113.45";
        for (int change = 1; change <= kChanges; ++change) {
            const std::string next = "203.0.113." + std::to_string(45 + change);
            std::this_thread::sleep_for(std::chrono::milliseconds(
                1000 * kShortestPeriod * (2 * change - 1) / (2 * kChanges)));
            const auto from = std::chrono::steady_clock::now();
            if (!ReplaceAddress(address, next, env))
                return Fail(state, "address change against inadyn", "ip could not replace it");
            address = next;
            std::optional<double> our, peer;
            WaitUntil(
                [&] {
                    const double now =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - from)
                            .count();
                    if (!our && ReadText(file).find(next) != std::string::npos) our = now;
                    if (!peer && ReadText(contest.inadyn.requests).find(next) != std::string::npos)
                        peer = now;
                    return our && peer;
                },
                kChangeWait);
            if (!our || !peer)
                return Fail(state, "address change against inadyn",
                            "change " + std::to_string(change) + " was not published in time");
            ours.push_back(*our);
            peers.push_back(*peer);
        }
        const double ourMedian = Median(ours), peerMedian = Median(peers);
        state.SetIterationTime(ourMedian);
        state.counters["orvane_s"] = ourMedian;
        state.counters["inadyn_s"] = peerMedian;
        Judge(state, "change",
              {"from an address replaced on the link to the new one published, median of " +
                   std::to_string(kChanges),
               "orvane --headless (INTERVAL 600) " + Fixed(ourMedian * 1000, 0) + " ms",
               "inadyn (period " + std::to_string(kShortestPeriod) + " s) " +
                   Fixed(peerMedian * 1000, 0) + " ms",
               "limit " + Fixed(std::chrono::duration<double>(kChangeLimit).count() * 1000, 0) +
                   " ms",
               ourMedian < std::chrono::duration<double>(kChangeLimit).count()});
    }
}
BENCHMARK(BM_AddressChangeAgainstInadyn)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) { return orvane::bench::RunBenchmarks(argc, argv); }
