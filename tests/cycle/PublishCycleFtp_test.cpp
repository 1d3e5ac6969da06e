// The publish cycle against a real FTP server on loopback with the real libcurl client: what
// lands on the server, and what the window and the log show for each way the server can fail.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "../form/FormFakes.h"
#include "form/fOrvane.h"
#include "ftp/InternetClient.h"
#include "tests/ftp/FtpTestServer.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A loopback port with nothing listening on it.
uint16_t ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class CycleWithServer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << why;
        dir = MakeAppDir("orvane-cycleftp");
        support = std::make_unique<FakeSupport>(dir);
        internet = ftp::MakeSystemInternetClient(ftp::Timeouts{2s, 2s});
        logic = std::make_unique<fOrvane>(window, *support, links, *internet, clock,
                                          [this](int s) { exits.push_back(s); });
        links.links = {{"Casa", "203.0.113.45"}, {"Ufficio", "198.51.100.2"}};
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    // Settings pointing at `server`, then start-up.
    void Start(const std::string& server, const std::string& user, const std::string& password,
               const std::string& path, const std::string& file = "ip.txt") {
        support->values = {{"GENERAL/INTERVAL", "600"},
                           {"GENERAL/FIRST", "10"},
                           {"GENERAL/DELAY", "0"},
                           {"FTP/SERVER", FakeSupport::Encode(server)},
                           {"FTP/USER", FakeSupport::Encode(user)},
                           {"FTP/PATH", FakeSupport::Encode(path)},
                           {"FTP/FILE", file},
                           {"FTP/PASSWORD", FakeSupport::Encode(password)}};
        ASSERT_TRUE(logic->Load());
    }
    std::vector<std::string> LogMessages() const { return orvane::testing::LogMessages(dir / "orvane.log"); }

    fs::path dir;
    FakeClock clock;
    FakeWindow window{clock};
    FakeRemoteAccess links;
    std::unique_ptr<FakeSupport> support;
    std::unique_ptr<ftp::InternetClient> internet;
    std::unique_ptr<fOrvane> logic;
    std::vector<int> exits;
};

TEST_F(CycleWithServer, PublishesTheThreeLinesOverOneControlConnection) {
    FtpTestServer server;
    fs::create_directory(server.root() / "pub");
    Start(server.address(), server.options().user, server.options().password, "pub/", "casa ip.txt");
    logic->PublishNow();
    EXPECT_EQ(window.Caption(Control::Label2), "Online");
    EXPECT_EQ(window.Caption(Control::Label4), "203.0.113.45");
    EXPECT_EQ(ReadFile(server.root() / "pub" / "casa ip.txt"),
              "Date: 12/06/26   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n");
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.commandCount("STOR"), 1);
    EXPECT_EQ(server.commandCount("QUIT"), 1) << "the session is closed at the end of the cycle";
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Cambio IP"});
    EXPECT_FALSE(fs::exists(dir / "ip.txt"));

    logic->PublishNow();  // the same address again: uploaded, not logged
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Cambio IP"});
}

TEST_F(CycleWithServer, AbsolutePathIsStoredFromTheServersRoot) {
    FtpServerOptions options;
    options.loginDir = "home";
    FtpTestServer server(options);
    fs::create_directory(server.root() / "www");
    Start(server.address(), options.user, options.password, "/www/", "ip.txt");
    logic->PublishNow();
    EXPECT_EQ(window.Caption(Control::Label2), "Online");
    EXPECT_TRUE(fs::exists(server.root() / "www" / "ip.txt"));
}

struct ServerFailure {
    const char* name;
    const char* mode;
    const char* permissions;
    bool wrongPassword;
    bool closedPort;
    const char* path;
    const char* status;
    const char* logged;
};

class ServerFailureTest : public CycleWithServer,
                          public ::testing::WithParamInterface<ServerFailure> {};

TEST_P(ServerFailureTest, IsShownLoggedRetriedIn15AndLeavesNoFile) {
    const ServerFailure& f = GetParam();
    FtpServerOptions options;
    options.mode = f.mode;
    options.permissions = f.permissions;
    FtpTestServer server(options);
    const std::string address =
        f.closedPort ? "127.0.0.1:" + std::to_string(ClosedPort()) : server.address();
    Start(address, options.user, f.wrongPassword ? "not-it" : options.password, f.path);
    logic->PublishNow();

    EXPECT_EQ(window.Caption(Control::Label2), f.status);
    EXPECT_EQ(window.Caption(Control::Label4), "");
    EXPECT_EQ(logic->State().Countdown, 15);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{f.logged});
    const bool sessionFailed = std::string(f.status) != "Errore #3";
    EXPECT_EQ(links.hungUp, sessionFailed ? std::vector<dialup::HRASCONN>{100}
                                          : std::vector<dialup::HRASCONN>{});
    EXPECT_FALSE(fs::exists(dir / "ip.txt"));
    EXPECT_EQ(logic->State().LastAddress, "");
    EXPECT_TRUE(exits.empty());
    for (const auto& line : server.transcriptLines())
        EXPECT_EQ(line.find(options.password), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Outside, ServerFailureTest,
    ::testing::Values(
        ServerFailure{"WrongPassword", "normal", "elradfmwMT", true, false, "/", "Errore #2", "Apertura server fallita"},
        ServerFailure{"ClosedPort", "normal", "elradfmwMT", false, true, "/", "Errore #2", "Apertura server fallita"},
        ServerFailure{"NeverAnswers", "silent", "elradfmwMT", false, false, "/", "Errore #2", "Apertura server fallita"},
        ServerFailure{"StoreRefused", "refuse-stor", "elradfmwMT", false, false, "/", "Errore #3", "Invio file fallito"},
        ServerFailure{"DiskFull", "disk-full", "elradfmwMT", false, false, "/", "Errore #3", "Invio file fallito"},
        ServerFailure{"DataConnectionDropped", "drop-data", "elradfmwMT", false, false, "/", "Errore #3", "Invio file fallito"},
        ServerFailure{"StoreNeverAnswered", "stall-stor", "elradfmwMT", false, false, "/", "Errore #3", "Invio file fallito"},
        ServerFailure{"MissingDirectory", "normal", "elradfmwMT", false, false, "missing/", "Errore #3", "Invio file fallito"},
        ServerFailure{"NoPermission", "normal", "elr", false, false, "/", "Errore #3", "Invio file fallito"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::testing
