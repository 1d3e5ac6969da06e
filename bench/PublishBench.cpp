// One publish cycle (link up, no delay, real libcurl client, loopback FTP server, real files)
// against the curl command line tool storing the same file on the same server, as a process per
// run; over plain FTP and over FTP with TLS (curl --ssl-reqd, the same certificate authority).
// The cycle must take no longer than the command (medians, runs alternating).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>

#include "bench/BenchSupport.h"
#include "bench/PublishRig.h"

namespace orvane::bench {
namespace {

using Millis = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 50;
constexpr const char* kCurl = "/usr/bin/curl";

void WriteOwnerOnly(const std::filesystem::path& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write " + path.string());
    close(fd);
}

// The peer's command: the same file to the same place, the login from a netrc file so the
// password stays off the command line.
std::vector<std::string> CurlCommand(PublishRig& rig, const TempDir& dir, bool tls) {
    const std::string text = fOrvane::PublishedFileText(testing::FakeClock{}.wall, "10.64.0.2");
    WriteOwnerOnly(dir.path() / "ip.txt", text);
    WriteOwnerOnly(dir.path() / "netrc", std::string("machine 127.0.0.1 login ") +
                                             PublishRig::kUser + " password " +
                                             PublishRig::kPassword + "\n");
    std::vector<std::string> command = {kCurl,
                                        "--silent",
                                        "--show-error",
                                        "--netrc-file",
                                        (dir.path() / "netrc").string(),
                                        "--upload-file",
                                        (dir.path() / "ip.txt").string(),
                                        "ftp://" + rig.Server().address() + "/ip.txt"};
    if (tls) {
        command.insert(command.end(),
                       {"--ssl-reqd", "--cacert", (rig.Server().stateDir() / "ca.pem").string()});
    }
    return command;
}

// Argument 0: plain FTP; 1: FTP with TLS.
void BM_PublishCycle(benchmark::State& state) {
    const bool tls = state.range(0) == 1;
    const std::string over = tls ? " over FTPS" : "";
    std::unique_ptr<PublishRig> rig;
    TempDir peerDir("orvane-bench-curl");
    std::vector<std::string> curl;
    try {
        rig = std::make_unique<PublishRig>(tls ? "ftps" : "ftp");
        curl = CurlCommand(*rig, peerDir, tls);
    } catch (const std::exception& error) {
        return Fail(state, "publish cycle" + over, error.what());
    }
    const auto env = CurrentEnvironment();
    std::vector<double> ours, peer;
    for (auto _ : state) {
        auto cycle = [&] {
            const auto start = std::chrono::steady_clock::now();
            const bool online = rig->PublishOnce();
            ours.push_back(Millis(std::chrono::steady_clock::now() - start).count());
            return online;
        };
        auto command = [&] {
            const auto start = std::chrono::steady_clock::now();
            const int status = RunToEnd(curl, env);
            peer.push_back(Millis(std::chrono::steady_clock::now() - start).count());
            return status == 0;
        };
        const bool fine = ours.size() % 2 == 0 ? cycle() && command() : command() && cycle();
        if (!fine) return Fail(state, "publish cycle" + over, "a run failed: " + rig->LastError());
        state.SetIterationTime(ours.back() / 1000.0);
    }
    const double ourTime = Median(ours), peerTime = Median(peer);
    state.counters["orvane_ms"] = ourTime;
    state.counters["curl_ms"] = peerTime;
    Judge(state, "cycle",
          {"one publish cycle" + over + " (median of " + std::to_string(ours.size()) + ")",
           "orvane cycle " + Fixed(ourTime, 2) + " ms",
           std::string(tls ? "curl --ssl-reqd -T " : "curl -T ") + Fixed(peerTime, 2) + " ms",
           "ratio " + Fixed(ourTime / peerTime, 2) + ", limit 1.00", ourTime <= peerTime});
}
BENCHMARK(BM_PublishCycle)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(kRuns)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) { return orvane::bench::RunBenchmarks(argc, argv); }
