// The internet client against a real FTP server on loopback, well behaved and misbehaving.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ftp/InternetClient.h"
#include "support/FtpTestServer.h"
#include "support/TestFiles.h"

namespace orvane::ftp {
namespace {

namespace fs = std::filesystem;
using orvane::testing::FtpServerOptions;
using orvane::testing::FtpTestServer;

const std::string kUser = FtpServerOptions().user;
const std::string kPassword = FtpServerOptions().password;
constexpr auto npos = std::string::npos;

// Every byte value many times over, CR LF and lone LF among them: nothing may be converted.
std::string ArbitraryBytes() {
    std::string bytes = "2024-01-31\r\n12:00:00\r\n10.1.2.3\n";
    for (int i = 0; i < 256 * 1200; ++i) bytes += static_cast<char>((i + i / 256) % 256);
    return bytes;
}

class FtpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << "no test FTP server: " << why;
    }

    fs::path WriteLocal(const std::string& bytes) {
        test::WriteText(local_ / "ip.txt", bytes);
        return local_ / "ip.txt";
    }
    HINTERNET Open() {
        return client_->InternetOpenA("Tarrowind", INTERNET_OPEN_TYPE_DIRECT, "", "",
                                      INTERNET_FLAG_NO_CACHE_WRITE);
    }
    HINTERNET Connect(HINTERNET internet, uint16_t port, const std::string& password = kPassword,
                      const std::string& host = "127.0.0.1") {
        return client_->InternetConnectA(internet, host, port, kUser, password,
                                         INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    }
    bool Put(HINTERNET ftp, const fs::path& local, const std::string& remote) {
        return client_->FtpPutFileA(ftp, local.string(), remote, FTP_TRANSFER_TYPE_BINARY, 0);
    }

    std::unique_ptr<InternetClient> client_ =
        MakeSystemInternetClient({std::chrono::seconds(2), std::chrono::seconds(2)});
    test::TempDir localDir_;
    fs::path local_ = localDir_.folder();
};

// One root, two logins in turn: the first connection closed on its own leaves the root open,
// closing the root closes the second; then every handle is gone for good.
TEST_F(FtpClientTest, StoresEveryNameByteForByteOverOneLoginPerConnection) {
    FtpServerOptions options;
    options.loginDir = "home";  // relative and absolute names lead to different places
    FtpTestServer server(options);
    fs::create_directories(server.root() / "home" / "sub");
    fs::create_directories(server.root() / "pub");
    const struct {
        std::string remote, landsAt, bytes;
    } cases[] = {
        {"ip.txt", "home/ip.txt", ArbitraryBytes()},
        {"empty.txt", "home/empty.txt", ""},
        {"sub/ip.txt", "home/sub/ip.txt", "a\r\n"},
        {"#1 100%25 ?&;+=@:.txt", "home/#1 100%25 ?&;+=@:.txt", "b"},
        {"/pub/città ü€.txt", "pub/città ü€.txt", "c"},
    };
    const HINTERNET internet = Open();
    std::vector<HINTERNET> handles = {internet};
    for (int session = 1; session <= 2; ++session) {
        const HINTERNET ftp = Connect(internet, server.port());
        ASSERT_NE(ftp, 0u) << client_->LastErrorText();
        EXPECT_EQ(std::count(handles.begin(), handles.end(), ftp), 0) << "a handle reused";
        handles.push_back(ftp);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.remote);
            const std::string bytes = c.bytes + (session == 1 ? "" : "\r\nsecond");
            EXPECT_TRUE(Put(ftp, WriteLocal(bytes), c.remote)) << client_->LastErrorText();
            EXPECT_EQ(test::ReadText(server.root() / c.landsAt), bytes);
        }
        EXPECT_FALSE(Put(internet, local_ / "ip.txt", "ip.txt"));  // a root is no FTP connection
        EXPECT_TRUE(client_->InternetCloseHandle(session == 1 ? ftp : internet));
        EXPECT_EQ(server.connectionCount(), session) << server.transcript();
        for (const char* verb : {"USER", "PASS", "QUIT"}) {
            EXPECT_EQ(server.commandCount(verb), session) << verb;
        }
    }
    EXPECT_EQ(server.commandCount("STOR"), static_cast<int>(2 * std::size(cases)));
    // Passive only, and the uploads are the only changes made on the server.
    for (const char* verb : {"PORT", "EPRT", "CWD", "MKD", "DELE", "RNFR", "APPE"}) {
        EXPECT_EQ(server.commandCount(verb), 0) << verb;
    }
    handles.insert(handles.end(), {0, 0xBAD0});
    for (const HINTERNET gone : handles) {
        EXPECT_FALSE(client_->InternetCloseHandle(gone)) << gone;
        EXPECT_FALSE(Put(gone, local_ / "ip.txt", "ip.txt")) << gone;
        EXPECT_EQ(Connect(gone, server.port()), 0u) << gone;
    }
}

// What the server or its identity does wrong, and what the client refuses to send or cannot
// read: the call that fails, within the bounds, with an error text that names no secret, one
// login at most and nothing left on the server. What the program then shows, logs and retries
// is the form's (tests/form); one refused store runs end to end (tests/e2e).
struct Failure {
    const char* name;
    bool atLogin = false;  // else at the upload
    const char* mode = "normal";
    std::string protocol = "ftp";
    const char* trust = nullptr;  // a file in the server's state; none: the right one
    std::string password = kPassword;
    std::string host = "127.0.0.1";
    std::string remote = "ip.txt";
    const char* local = "ip.txt";
    std::string server = "";  // "plain": FTP whatever the client expects; "stopped": port closed
    bool revoked = false;     // known_hosts lists the server's key, after marking it @revoked
    const char* says = "";    // what the error text must hold
};

void PrintTo(const Failure& f, std::ostream* out) { *out << f.name; }

class FailureTest : public FtpClientTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(FailureTest, FailsTheRightCallWithinBoundsWithoutSecretsOrLeftovers) {
    const Failure& f = GetParam();
    FtpServerOptions options;
    options.mode = f.mode;
    options.protocol = f.server == "plain" ? "ftp" : f.protocol;
    std::string why;
    if (options.protocol == "sftp" && !FtpTestServer::SshAvailable(&why)) GTEST_SKIP() << why;
    FtpTestServer server(options);
    const uint16_t port = f.server == "stopped" ? FtpTestServer().port() : server.port();
    // ftps trusts a CA file; sftp pins a key, or with none, checks a known_hosts without it.
    const std::string trust = f.trust ? f.trust : f.protocol == "ftps" ? "ca.pem" : "fingerprint";
    const orvane::testing::KnownHostsHome home(server, f.revoked, f.revoked);
    const auto [caFile, hostKey] = server.identity(f.protocol, trust);
    ASSERT_TRUE(client_->SetProtection({*ParseProtocol(f.protocol), caFile, hostKey}));
    WriteLocal(ArbitraryBytes());
    const auto start = std::chrono::steady_clock::now();
    const HINTERNET internet = Open();
    const HINTERNET ftp = Connect(internet, port, f.password, f.host);
    EXPECT_EQ(ftp == 0, f.atLogin) << client_->LastErrorText();
    EXPECT_FALSE(ftp != 0 && Put(ftp, local_ / f.local, f.remote));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    const std::string text = client_->LastErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.find(f.says), npos) << text;
    EXPECT_EQ(text.find("p4ss"), npos) << text;
    EXPECT_EQ(text.find(kUser), npos) << text;
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
    EXPECT_LE(server.commandCount("USER"), 1);  // a refused login is not tried again
    EXPECT_EQ(server.commandCount("DELE"), 0) << server.transcript();
    // A server may keep the empty file it made for a transfer it dropped itself.
    EXPECT_TRUE(fs::is_empty(server.root()) || std::string(f.mode) == "drop-data");
}

const Failure kFailures[] = {
    {.name = "WrongPassword", .atLogin = true, .password = "not-it"},
    {.name = "CommandInPassword", .atLogin = true, .password = kPassword + "\r\nDELE x"},
    {.name = "BadServerName", .atLogin = true, .host = "127.0.0.1/x@y"},
    {.name = "ClosedPort", .atLogin = true, .server = "stopped"},
    {.name = "NeverAnswers", .atLogin = true, .mode = "silent"},
    {.name = "StoreRefused", .mode = "refuse-stor"},
    {.name = "DiskFull", .mode = "disk-full"},
    {.name = "DataConnectionDropped", .mode = "drop-data"},
    {.name = "StoreNeverAnswered", .mode = "stall-stor"},
    {.name = "MissingDirectory", .remote = "missing/ip.txt"},
    {.name = "NoLocalFile", .local = "absent.txt"},
    {.name = "FtpsOtherAuthority", .atLogin = true, .protocol = "ftps", .trust = "other-ca.pem"},
    {.name = "FtpsNameMismatch", .atLogin = true, .protocol = "ftps", .host = "localhost"},
    {.name = "FtpsServerWithoutTls", .atLogin = true, .protocol = "ftps", .server = "plain"},
    {.name = "SftpOtherKey", .atLogin = true, .protocol = "sftp", .trust = "other-fingerprint"},
    {.name = "SftpUnknownHost", .atLogin = true, .protocol = "sftp", .trust = ""},
    {.name = "SftpRevokedKey", .atLogin = true, .protocol = "sftp", .trust = "", .revoked = true},
    {.name = "SftpRsaOnlyServer",
     .atLogin = true,
     .mode = "rsa-only",
     .protocol = "sftp",
     .says = "only RSA host keys"},
    {.name = "SftpWrongPassword", .atLogin = true, .protocol = "sftp", .password = "not-it"},
    {.name = "SftpMissingDirectory", .protocol = "sftp", .remote = "missing/ip.txt"},
};
INSTANTIATE_TEST_SUITE_P(Outside, FailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace orvane::ftp
