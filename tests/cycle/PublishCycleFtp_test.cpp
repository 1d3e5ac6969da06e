// The publish cycle against real servers on loopback (FTP, FTP over TLS, OpenSSH's SFTP) with
// the real libcurl client: what lands on the server, one session per cycle.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <optional>

#include "form/fOrvane.h"
#include "ftp/InternetClient.h"
#include "support/Fakes.h"
#include "support/FtpTestServer.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class CycleWithServer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << why;
        links.links = {{"Casa", "203.0.113.45"}, {"Ufficio", "198.51.100.2"}};
    }
    void TearDown() override {
        if (home) setenv("HOME", home->c_str(), 1);
    }

    // Settings pointing at `server`, then start-up.
    void Start(const std::string& server, const std::string& password, const std::string& path,
               const std::string& file = "ip.txt", std::map<std::string, std::string> more = {}) {
        support.values = {{"GENERAL/INTERVAL", "600"},
                          {"GENERAL/FIRST", "10"},
                          {"GENERAL/DELAY", "0"},
                          {"FTP/SERVER", FakeSupport::Encode(server)},
                          {"FTP/USER", FakeSupport::Encode(FtpServerOptions().user)},
                          {"FTP/PATH", FakeSupport::Encode(path)},
                          {"FTP/FILE", file},
                          {"FTP/PASSWORD", FakeSupport::Encode(password)}};
        support.values.merge(more);
        ASSERT_TRUE(logic.Load());
    }

    // PROTOCOL and what checks the server's identity: for ftps the CAFILE named `trust` in the
    // server's state; for sftp the HOSTKEY in the file named `trust`, or with none, the
    // known_hosts of a home of our own, holding the server's key if `known`.
    std::map<std::string, std::string> Protection(const FtpTestServer& server,
                                                  const std::string& protocol,
                                                  const std::string& trust, bool known = false) {
        std::map<std::string, std::string> keys{{"FTP/PROTOCOL", protocol}};
        if (protocol == "ftps") keys["FTP/CAFILE"] = (server.stateDir() / trust).string();
        if (protocol != "sftp") return keys;
        if (!trust.empty()) keys["FTP/HOSTKEY"] = server.stateText(trust);
        if (!home) home = getenv("HOME") ? getenv("HOME") : "/";
        setenv("HOME", dir.c_str(), 1);
        fs::create_directories(dir / ".ssh");
        std::ofstream knownHosts(dir / ".ssh" / "known_hosts");
        if (known)
            knownHosts << "[127.0.0.1]:" << server.port() << " " << server.stateText("host_key.pub")
                       << "\n";
        return keys;
    }

    test::TempDir tempDir;
    fs::path dir = tempDir.folder();
    FakeClock clock;
    FakeWindow window{clock};
    FakeRemoteAccess links;
    FakeSupport support{dir};
    std::unique_ptr<ftp::InternetClient> internet = ftp::MakeSystemInternetClient({2s, 2s});
    std::vector<int> exits;
    std::optional<std::string> home;  // HOME as it was, while a test points it elsewhere
    fOrvane logic{window, support, links, *internet, clock, [this](int s) { exits.push_back(s); }};
};

TEST_F(CycleWithServer, PublishesTheThreeLinesOverOneControlConnection) {
    FtpServerOptions options;
    options.loginDir = "home";  // the absolute path must lead past it to the root
    FtpTestServer server(options);
    fs::create_directory(server.root() / "pub");
    Start(server.address(), options.password, "/pub/", "casa ip.txt");
    logic.PublishNow();
    EXPECT_EQ(test::ReadText(server.root() / "pub" / "casa ip.txt"),
              "Date: 12/06/26   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n");
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.commandCount("STOR"), 1);
    EXPECT_EQ(server.commandCount("QUIT"), 1) << "the session is closed at the end of the cycle";
    EXPECT_FALSE(fs::exists(dir / "ip.txt"));
    logic.PublishNow();  // the same address again: uploaded in a session of its own
    EXPECT_EQ(server.connectionCount(), 2);
}

// The FTP keys are read before every cycle, so one start-up serves each server in turn.
TEST_F(CycleWithServer, PublishesOverTlsAndSshUnderTheLoginDirectory) {
    Start("127.0.0.1", FtpServerOptions().password, "./");
    const struct {
        const char *protocol, *trust;
        bool known = false;
    } cases[] = {{"ftps", "ca.pem"}, {"sftp", "fingerprint"}, {"sftp", "", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.protocol) + " " + c.trust);
        FtpServerOptions options;
        options.protocol = c.protocol;
        options.loginDir = "home";
        if (options.protocol == "sftp" && !FtpTestServer::SshAvailable()) continue;
        FtpTestServer server(options);
        support.values["FTP/SERVER"] = FakeSupport::Encode(server.address());
        support.values.erase("FTP/HOSTKEY");
        for (const auto& [key, value] : Protection(server, c.protocol, c.trust, c.known))
            support.values[key] = value;
        logic.PublishNow();
        EXPECT_EQ(window.Caption(Control::Label2), "Online");
        EXPECT_EQ(test::ReadText(server.root() / "home" / "ip.txt"),
                  "Date: 12/06/26   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n");
        EXPECT_FALSE(fs::exists(dir / "ip.txt"));
    }
}

}  // namespace
}  // namespace orvane::testing
