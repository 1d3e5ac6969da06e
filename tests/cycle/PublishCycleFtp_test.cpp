// The publish cycle against a real FTP server on loopback with the real libcurl client: what
// lands on the server, and what the window and the log show for each way the server can fail.
#include <gtest/gtest.h>

#include "../form/FormFakes.h"
#include "form/fOrvane.h"
#include "ftp/InternetClient.h"
#include "tests/ftp/FtpTestServer.h"

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
    void TearDown() override { fs::remove_all(dir); }

    // Settings pointing at `server`, then start-up.
    void Start(const std::string& server, const std::string& password, const std::string& path,
               const std::string& file = "ip.txt") {
        support.values = {{"GENERAL/INTERVAL", "600"},
                          {"GENERAL/FIRST", "10"},
                          {"GENERAL/DELAY", "0"},
                          {"FTP/SERVER", FakeSupport::Encode(server)},
                          {"FTP/USER", FakeSupport::Encode(FtpServerOptions().user)},
                          {"FTP/PATH", FakeSupport::Encode(path)},
                          {"FTP/FILE", file},
                          {"FTP/PASSWORD", FakeSupport::Encode(password)}};
        ASSERT_TRUE(logic.Load());
    }
    std::vector<std::string> Logged() const { return LogMessages(dir / "orvane.log"); }

    fs::path dir = MakeAppDir("orvane-cycleftp");
    FakeClock clock;
    FakeWindow window{clock};
    FakeRemoteAccess links;
    FakeSupport support{dir};
    std::unique_ptr<ftp::InternetClient> internet = ftp::MakeSystemInternetClient({2s, 2s});
    std::vector<int> exits;
    fOrvane logic{window, support, links, *internet, clock, [this](int s) { exits.push_back(s); }};
};

TEST_F(CycleWithServer, PublishesTheThreeLinesOverOneControlConnection) {
    FtpServerOptions options;
    options.loginDir = "home";  // the absolute path must lead past it to the root
    FtpTestServer server(options);
    fs::create_directory(server.root() / "pub");
    Start(server.address(), options.password, "/pub/", "casa ip.txt");
    logic.PublishNow();
    EXPECT_EQ(window.Caption(Control::Label2), "Online");
    EXPECT_EQ(window.Caption(Control::Label4), "203.0.113.45");
    EXPECT_EQ(ReadFile(server.root() / "pub" / "casa ip.txt"),
              "Date: 12/06/26   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n");
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.commandCount("STOR"), 1);
    EXPECT_EQ(server.commandCount("QUIT"), 1) << "the session is closed at the end of the cycle";
    EXPECT_EQ(Logged(), std::vector<std::string>{"Cambio IP"});
    EXPECT_FALSE(fs::exists(dir / "ip.txt"));

    logic.PublishNow();  // the same address again: uploaded, not logged
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(Logged(), std::vector<std::string>{"Cambio IP"});
}

struct ServerFailure {
    const char* name;
    const char* mode = "normal";
    bool atLogin = false;  // else at the upload
    const char* path = "/";
    const char* permissions = "elradfmwMT";
    bool wrongPassword = false;
    bool closedPort = false;
};

void PrintTo(const ServerFailure& f, std::ostream* out) { *out << f.name; }

class ServerFailureTest : public CycleWithServer,
                          public ::testing::WithParamInterface<ServerFailure> {};

TEST_P(ServerFailureTest, IsShownLoggedRetriedIn15AndLeavesNoFile) {
    const ServerFailure& f = GetParam();
    FtpServerOptions options;
    options.mode = f.mode;
    options.permissions = f.permissions;
    FtpTestServer server(options);
    Start(f.closedPort ? "127.0.0.1:" + std::to_string(ClosedPort()) : server.address(),
          f.wrongPassword ? "not-it" : options.password, f.path);
    logic.PublishNow();

    EXPECT_EQ(window.Caption(Control::Label2), f.atLogin ? "Errore #2" : "Errore #3");
    EXPECT_EQ(window.Caption(Control::Label4), "");
    EXPECT_EQ(logic.State().Countdown, 15);
    EXPECT_EQ(Logged(), std::vector<std::string>{f.atLogin ? "Apertura server fallita"
                                                           : "Invio file fallito"});
    EXPECT_EQ(links.hungUp, f.atLogin ? std::vector<dialup::HRASCONN>{100}
                                      : std::vector<dialup::HRASCONN>{});
    EXPECT_FALSE(fs::exists(dir / "ip.txt"));
    EXPECT_EQ(logic.State().LastAddress, "");
    EXPECT_TRUE(exits.empty());
    EXPECT_EQ(server.transcript().find(options.password), std::string::npos);
}

const ServerFailure kFailures[] = {
    {.name = "WrongPassword", .atLogin = true, .wrongPassword = true},
    {.name = "ClosedPort", .atLogin = true, .closedPort = true},
    {.name = "NeverAnswers", .mode = "silent", .atLogin = true},
    {.name = "StoreRefused", .mode = "refuse-stor"},
    {.name = "DiskFull", .mode = "disk-full"},
    {.name = "DataConnectionDropped", .mode = "drop-data"},
    {.name = "StoreNeverAnswered", .mode = "stall-stor"},
    {.name = "MissingDirectory", .path = "missing/"},
    {.name = "NoPermission", .permissions = "elr"},
};
INSTANTIATE_TEST_SUITE_P(Outside, ServerFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::testing
