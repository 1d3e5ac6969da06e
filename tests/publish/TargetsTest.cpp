// The targets against real peers: the dyndns2 target against the loopback update server (the
// request as a reference client sends it, the answers, the server's identity), and the command
// target running real programs (argument, environment, time limit, status, what cannot run).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <thread>

#include "publish/CommandTarget.h"
#include "publish/Dyndns2Protocol.h"
#include "support/FtpTestServer.h"
#include "support/SleepingWait.h"

namespace orvane::publish {
namespace {

using testing::FtpServerOptions;
using testing::FtpTestServer;

constexpr const char* kUser = "publisher7";
constexpr const char* kPassword = "p4ss:#@ w%rd/?";
// base64("publisher7:p4ss:#@ w%rd/?")
constexpr const char* kBasicAuth = "Basic cHVibGlzaGVyNzpwNHNzOiNAIHclcmQvPw==";

// A wait whose program is closing from its first wait on.
class ClosingWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds) override { closing_ = true; }
    bool StopRequested() const override { return closing_; }

  private:
    bool closing_ = false;
};

class Dyndns2Test : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << why;
    }

    static std::unique_ptr<FtpTestServer> Server(const std::string& protocol,
                                                 const std::string& mode = "dyndns2") {
        FtpServerOptions options;
        options.mode = mode;
        options.protocol = protocol;
        return std::make_unique<FtpTestServer>(options);
    }

    static Dyndns2Settings Settings(const FtpTestServer& server) {
        Dyndns2Settings settings;
        settings.server = server.address();
        settings.user = kUser;
        settings.password = kPassword;
        settings.hostnames = {"casa.example.net", "ufficio.example.net"};
        settings.caFile = (server.stateDir() / "ca.pem").string();
        return settings;
    }

    testing::SleepingWait wait;
    const PublishedAddresses addresses{"203.0.113.45", "2001:db8::45", "Casa"};
};

struct ServerCase {
    const char* name;
    const char* answer;
    Verdict verdict;
    const char* protocol = "https";
    bool ipv6 = true;
    const char* trust = "ca.pem";
    const char* requestLine =
        "GET /nic/update?hostname=casa.example.net,ufficio.example.net&myip=203.0.113.45"
        "&myipv6=2001:db8::45 HTTP/1.1";
};

TEST_F(Dyndns2Test, TheRequestAndEachAnswer) {
    const std::string agent = "User-Agent: " + Dyndns2UserAgent();
    const ServerCase cases[] = {
        {"good", "good 203.0.113.45\ngood 203.0.113.45", Verdict::Accepted},
        {"badauth stops", "badauth", Verdict::Stopped},
        {"911 asks for a pause", "911", Verdict::RetryLater},
        {"without IPv6", "nochg 203.0.113.45", Verdict::Accepted, "https", false, "ca.pem",
         "GET /nic/update?hostname=casa.example.net,ufficio.example.net&myip=203.0.113.45 "
         "HTTP/1.1"},
        {"plain HTTP when asked for", "good", Verdict::Accepted, "http"},
        {"a server the authority did not sign is not asked", "good", Verdict::Failed, "https", true,
         "other-ca.pem", nullptr},
    };
    for (const ServerCase& c : cases) {
        const auto server = Server(c.protocol);
        test::WriteText(server->root() / "answer", c.answer);
        Dyndns2Settings settings = Settings(*server);
        settings.https = std::string(c.protocol) == "https";
        settings.ipv6 = c.ipv6;
        settings.caFile = (server->stateDir() / c.trust).string();
        const Outcome outcome = MakeDyndns2Target(settings)->Publish(addresses, {}, wait);
        EXPECT_EQ(outcome.verdict, c.verdict) << c.name << ": " << outcome.reason;
        const std::string transcript = server->transcript();
        if (c.requestLine == nullptr) {
            EXPECT_EQ(transcript, "") << c.name;
            continue;
        }
        EXPECT_NE(transcript.find(std::string("1 <- ") + c.requestLine + "\n"), std::string::npos)
            << c.name << "\n"
            << transcript;
        EXPECT_NE(transcript.find(std::string("1 <- Authorization: ") + kBasicAuth),
                  std::string::npos)
            << c.name;
        EXPECT_NE(transcript.find("1 <- " + agent + "\n"), std::string::npos) << c.name;
        EXPECT_EQ(transcript.find("2 <-"), std::string::npos) << c.name << ": one request";
    }
}

// A server that takes the connection and never answers holds nothing up once the program closes.
TEST_F(Dyndns2Test, AServerThatNeverAnswersIsLeftWhenTheProgramCloses) {
    const auto server = Server("http", "silent");
    Dyndns2Settings settings = Settings(*server);
    settings.https = false;
    ClosingWait closing;
    const Outcome outcome = MakeDyndns2Target(settings)->Publish(addresses, {}, closing);
    EXPECT_EQ(outcome.verdict, Verdict::Failed);
    EXPECT_NE(outcome.reason.find("closing"), std::string::npos) << outcome.reason;
}

// The request's method and target in a transcript, without the HTTP version (inadyn speaks 1.0).
std::string RequestLine(const std::string& transcript) {
    const std::size_t start = transcript.find("<- GET ");
    if (start == std::string::npos) return {};
    return transcript.substr(start, transcript.find(" HTTP/", start) - start);
}

std::string AuthorizationLine(const std::string& transcript) {
    const std::size_t start = transcript.find("<- Authorization:");
    if (start == std::string::npos) return {};
    return transcript.substr(start, transcript.find('\n', start) - start);
}

// inadyn, a dynamic-DNS client in wide use, sends the same request for the same account.
TEST_F(Dyndns2Test, SendsWhatAReferenceClientSends) {
    if (access("/usr/sbin/inadyn", X_OK) != 0) GTEST_SKIP() << "inadyn is not installed";
    test::TempDir dir;
    const auto reference = Server("https");
    const auto ours = Server("https");
    test::WriteText(dir / "inadyn.conf",
                    "ca-trust-file = " + (reference->stateDir() / "ca.pem").string() +
                        "\ncustom test {\n  ssl = true\n  username = " + kUser +
                        "\n  password = \"" + kPassword +
                        "\"\n  ddns-server = " + reference->address() +
                        "\n  ddns-path = \"/nic/update?hostname=%h&myip=%i\""
                        "\n  checkip-command = \"/bin/echo 203.0.113.45\""
                        "\n  hostname = casa.example.net\n}\n");
    const std::string command =
        "/usr/sbin/inadyn --once --force --foreground --no-pidfile "
        "--cache-dir " +
        dir.path() + " -f " + dir.path() + "inadyn.conf -l error";
    ASSERT_NE(std::system(command.c_str()), -1);
    Dyndns2Settings settings = Settings(*ours);
    settings.hostnames = {"casa.example.net"};
    settings.ipv6 = false;
    MakeDyndns2Target(settings)->Publish(addresses, {}, wait);
    const std::string theirs = reference->transcript();
    ASSERT_NE(RequestLine(theirs), "") << "inadyn sent nothing:\n" << theirs;
    EXPECT_EQ(RequestLine(ours->transcript()), RequestLine(theirs));
    EXPECT_EQ(AuthorizationLine(ours->transcript()), AuthorizationLine(theirs));
}

// ---- the command target ----

struct CommandCase {
    const char* name;
    const char* script;  // the program's body after "#!/bin/sh"; null: the program is missing
    Verdict verdict;
    const char* reason;  // a part of the reason
    mode_t mode = 0700;
    std::chrono::milliseconds limit = kCommandTimeLimit;
    bool closing = false;  // the program closes while it runs
};

TEST(CommandTarget, RunsTheProgramAsAgreed) {
    using std::chrono::milliseconds;
    const CommandCase cases[] = {
        {"argument, environment and input",
         "printf '%s|%s|%s|%s|%s|%s' \"$1\" \"$#\" \"$ORVANE_ADDRESS\" \"$ORVANE_ADDRESS6\" "
         "\"$ORVANE_PREVIOUS_ADDRESS\" \"$ORVANE_ENTRY\" > \"$0.out\"; cat >> \"$0.out\"",
         Verdict::Accepted, ""},
        {"the program's own descriptors stay its own", "test ! -e /proc/$$/fd/42",
         Verdict::Accepted, ""},
        {"a failing status", "exit 3", Verdict::Failed, "exit status 3"},
        {"ended by a signal", "kill -TERM $$", Verdict::Failed, "ended by signal 15"},
        {"past its time, with what it started", "sleep 30 & echo $! > \"$0.child\"; wait",
         Verdict::Failed, "without finishing", 0700, milliseconds(300)},
        {"ended when the program closes, with what it started",
         "sleep 30 & echo $! > \"$0.child\"; wait", Verdict::Failed, "the program is closing", 0700,
         kCommandTimeLimit, true},
        {"not executable", "exit 0", Verdict::Failed, "Permission denied", 0600},
        {"missing", nullptr, Verdict::Failed, "No such file or directory"},
    };
    testing::SleepingWait wait;
    // A descriptor of the program's that is not closed on exec.
    ASSERT_EQ(dup2(STDIN_FILENO, 42), 42);
    for (const CommandCase& c : cases) {
        test::TempDir dir;
        const std::string program = dir / "publish";
        if (c.script != nullptr) {
            test::WriteText(program, std::string("#!/bin/sh\n") + c.script + "\n");
            chmod(program.c_str(), c.mode);
        }
        setenv("ORVANE_ADDRESS", "stale, from the program's own environment", 1);
        ClosingWait closing;
        EventWait& waiting = c.closing ? static_cast<EventWait&>(closing) : wait;
        const Outcome outcome = MakeCommandTarget({program}, c.limit)
                                    ->Publish({"203.0.113.45", "2001:db8::45", "Casa"},
                                              {"198.51.100.7", "", "Casa"}, waiting);
        unsetenv("ORVANE_ADDRESS");
        EXPECT_EQ(outcome.verdict, c.verdict) << c.name << ": " << outcome.reason;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos)
            << c.name << ": " << outcome.reason;
        if (c.verdict == Verdict::Accepted && std::filesystem::exists(program + ".out")) {
            EXPECT_EQ(test::ReadText(program + ".out"),
                      "203.0.113.45|1|203.0.113.45|2001:db8::45|198.51.100.7|Casa");
        }
        if (std::filesystem::exists(program + ".child")) {
            const pid_t child = std::stoi(test::ReadText(program + ".child"));
            // Killed with its group; gone once its parent, the shell, has been reaped by init.
            for (int i = 0; i < 100 && kill(child, 0) == 0; ++i)
                std::this_thread::sleep_for(milliseconds(20));
            EXPECT_NE(kill(child, 0), 0) << c.name << ": what it started still runs";
        }
    }
    close(42);
}

}  // namespace
}  // namespace orvane::publish
