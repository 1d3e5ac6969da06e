// The targets on Windows: the command target running a real program (its argument and
// variables, a failing status, the time limit, a program that is not there), and the dyndns2
// target's request and the answer's meaning against a one-request HTTP server on loopback.
#include <windows.h>
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdlib>
#include <thread>

#include "publish/CommandTarget.h"
#include "publish/Dyndns2Protocol.h"
#include "support/SleepingWait.h"
#include "support/TestFiles.h"

namespace orvane::publish {
namespace {

// The probe built beside this test.
std::string ProbePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "command_probe.exe";
}

TEST(CommandTargetWin32, RunsTheProgramAsAgreed) {
    test::TempDir dir;
    const std::string out = dir / "out.txt";
    const struct {
        const char* name;
        const char* exit;
        const char* sleepMs;
        bool missing;
        Verdict verdict;
        const char* reason;
    } cases[] = {
        {"argument and variables", "0", "0", false, Verdict::Accepted, ""},
        {"a failing status", "3", "0", false, Verdict::Failed, "exit status 3"},
        {"past its time", "0", "30000", false, Verdict::Failed, "without finishing"},
        {"not there", "0", "0", true, Verdict::Failed, "cannot run it"},
    };
    testing::SleepingWait wait;
    _putenv_s("PROBE_OUT", out.c_str());
    _putenv_s("ORVANE_ENTRY", "stale, from the program's own environment");
    for (const auto& c : cases) {
        _putenv_s("PROBE_EXIT", c.exit);
        _putenv_s("PROBE_SLEEP_MS", c.sleepMs);
        const std::string program = c.missing ? dir / "missing.exe" : ProbePath();
        const Outcome outcome =
            MakeCommandTarget({program}, std::chrono::milliseconds(500))
                ->Publish({"203.0.113.45", "", "Casa"}, {"198.51.100.7", "", "Casa"}, wait);
        EXPECT_EQ(outcome.verdict, c.verdict) << c.name << ": " << outcome.reason;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos)
            << c.name << ": " << outcome.reason;
        if (c.verdict == Verdict::Accepted) {
            EXPECT_EQ(test::ReadText(out), "1|203.0.113.45|203.0.113.45|(unset)|198.51.100.7|Casa");
        }
    }
}

// Listens on loopback, takes one request, keeps its head and answers `answer`.
class OneRequestServer {
  public:
    explicit OneRequestServer(std::string answer) : answer_(std::move(answer)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneRequestServer() {
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Head() {
        thread_.join();
        thread_ = std::thread([] {});
        return head_;
    }

  private:
    void Serve() {
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        char buffer[2048];
        while (head_.find("\r\n\r\n") == std::string::npos) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head_.append(buffer, static_cast<std::size_t>(got));
        }
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
            std::to_string(answer_.size()) + "\r\nConnection: close\r\n\r\n" + answer_;
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }

    std::string answer_, head_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
};

TEST(Dyndns2TargetWin32, SendsTheRequestAndReadsTheAnswer) {
    const struct {
        const char* answer;
        Verdict verdict;
    } cases[] = {{"good 203.0.113.45", Verdict::Accepted}, {"badauth", Verdict::Stopped}};
    testing::SleepingWait wait;
    for (const auto& c : cases) {
        OneRequestServer server(c.answer);
        Dyndns2Settings settings;
        settings.server = server.Address();
        settings.user = "me";
        settings.password = "dyn pw";
        settings.hostnames = {"casa.example.net"};
        settings.https = false;
        const Outcome outcome = MakeDyndns2Target(settings)->Publish(
            {"203.0.113.45", "2001:db8::45", "Casa"}, {}, wait);
        EXPECT_EQ(outcome.verdict, c.verdict) << c.answer << ": " << outcome.reason;
        const std::string head = server.Head();
        EXPECT_EQ(head.rfind("GET /nic/update?hostname=casa.example.net&myip=203.0.113.45"
                             "&myipv6=2001:db8::45 HTTP/1.1\r\n",
                             0),
                  0u)
            << head;
        EXPECT_NE(head.find("Authorization: Basic bWU6ZHluIHB3\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("User-Agent: " + Dyndns2UserAgent() + "\r\n"), std::string::npos)
            << head;
    }
}

}  // namespace
}  // namespace orvane::publish
