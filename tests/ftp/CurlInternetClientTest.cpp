// The internet client against a real FTP server on loopback, well behaved and misbehaving.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "ftp/InternetClient.h"
#include "tests/ftp/FtpTestServer.h"

namespace orvane::ftp {
namespace {

namespace fs = std::filesystem;
using orvane::testing::FtpServerOptions;
using orvane::testing::FtpTestServer;

constexpr Timeouts kShort{std::chrono::seconds(2), std::chrono::seconds(2)};
// Far above the bounds above, far below "for good": a call waiting on a silent server must
// come back in between.
constexpr auto kHangLimit = std::chrono::seconds(15);
const std::string kUser = "publisher7";
const std::string kPassword = "p4ss:#@ w%rd/?";

FtpServerOptions Options(std::string mode = "normal") {
    FtpServerOptions options;
    options.mode = std::move(mode);
    options.user = kUser;
    options.password = kPassword;
    return options;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every byte value many times over, CR LF and lone LF among them: nothing may be converted.
std::string ArbitraryBytes() {
    std::string bytes = "2024-01-31\r\n12:00:00\r\n10.1.2.3\n";
    for (int round = 0; round < 1200; ++round) {
        for (int value = 0; value < 256; ++value) bytes += static_cast<char>((value + round) % 256);
    }
    return bytes;
}

// A port nobody listens on: bound once to get a free one, then closed.
uint16_t ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

void ExpectNoSecret(const std::string& text) {
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(kPassword), std::string::npos) << text;
    EXPECT_EQ(text.find("p4ss"), std::string::npos) << text;
    EXPECT_EQ(text.find(kUser), std::string::npos) << text;
}

class FtpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << "no test FTP server: " << why;
        local_ = fs::temp_directory_path() / ("orvane-ftp-local-" + std::to_string(getpid()));
        fs::create_directories(local_);
    }
    void TearDown() override {
        if (!local_.empty()) fs::remove_all(local_);
    }

    fs::path WriteLocal(const std::string& bytes, const std::string& name = "ip.txt") {
        const fs::path path = local_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    HINTERNET Open() {
        return client_->InternetOpenA("Tarrowind", INTERNET_OPEN_TYPE_DIRECT, "", "",
                                      INTERNET_FLAG_NO_CACHE_WRITE);
    }
    HINTERNET Connect(HINTERNET internet, const std::string& host, uint16_t port,
                      const std::string& password = kPassword) {
        return client_->InternetConnectA(internet, host, port, kUser, password,
                                         INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    }
    HINTERNET Connect(HINTERNET internet, const FtpTestServer& server) {
        return Connect(internet, "127.0.0.1", server.port());
    }
    bool Put(HINTERNET ftp, const fs::path& local, const std::string& remote) {
        return client_->FtpPutFileA(ftp, local.string(), remote, FTP_TRANSFER_TYPE_BINARY, 0);
    }

    // One publish cycle's session: open, connect, store, close the root only.
    void PublishOnce(const FtpTestServer& server, const fs::path& local,
                     const std::string& remote) {
        const HINTERNET internet = Open();
        ASSERT_NE(internet, 0u);
        const HINTERNET ftp = Connect(internet, server);
        ASSERT_NE(ftp, 0u) << client_->LastErrorText();
        EXPECT_TRUE(Put(ftp, local, remote)) << client_->LastErrorText();
        EXPECT_TRUE(client_->InternetCloseHandle(internet));
    }

    std::unique_ptr<InternetClient> client_ = MakeSystemInternetClient(kShort);
    fs::path local_;
};

TEST_F(FtpClientTest, EachSessionStoresTheFileByteForByteOverOneLogin) {
    FtpTestServer server(Options());
    for (int session = 1; session <= 2; ++session) {
        const std::string bytes = ArbitraryBytes() + std::to_string(session);
        PublishOnce(server, WriteLocal(bytes), "ip.txt");
        EXPECT_EQ(ReadFile(server.root() / "ip.txt"), bytes);
        EXPECT_EQ(server.connectionCount(), session) << server.transcript();
        EXPECT_EQ(server.commandCount("USER"), session);
        EXPECT_EQ(server.commandCount("PASS"), session);
        EXPECT_EQ(server.commandCount("STOR"), session);
        EXPECT_EQ(server.commandCount("QUIT"), session);
    }
    const std::string transcript = server.transcript();
    EXPECT_NE(transcript.find("<- TYPE I"), std::string::npos) << transcript;
    EXPECT_EQ(server.commandCount("PORT") + server.commandCount("EPRT"), 0);
    // The upload is the only change the session makes on the server.
    for (const char* verb : {"CWD", "MKD", "DELE", "RNFR", "APPE"}) {
        EXPECT_EQ(server.commandCount(verb), 0) << verb;
    }
}

TEST_F(FtpClientTest, UploadsOfOneSessionShareItsLogin) {
    FtpTestServer server(Options());
    const HINTERNET internet = Open();
    const HINTERNET ftp = Connect(internet, server);
    ASSERT_NE(ftp, 0u) << client_->LastErrorText();
    EXPECT_TRUE(Put(ftp, WriteLocal("one\r\n", "a"), "a.txt"));
    EXPECT_TRUE(Put(ftp, WriteLocal("", "b"), "b.txt"));
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
    EXPECT_EQ(ReadFile(server.root() / "a.txt"), "one\r\n");
    EXPECT_TRUE(fs::exists(server.root() / "b.txt"));
    EXPECT_EQ(fs::file_size(server.root() / "b.txt"), 0u);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.commandCount("USER"), 1);
    EXPECT_EQ(server.commandCount("STOR"), 2);
}

// Shows bytes outside printable ASCII as \xHH, so every case has a one-line ASCII name.
std::string Visible(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += {'\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
        }
    }
    return out;
}

struct NameCase {
    std::string remote;
    std::string landsAt;  // relative to the server's root; the login directory is "home"
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << Visible(c.remote); }

class RemoteNameTest : public FtpClientTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(RemoteNameTest, ArrivesUnchanged) {
    FtpServerOptions options = Options();
    options.loginDir = "home";
    FtpTestServer server(options);
    fs::create_directories(server.root() / "home" / "sub");
    fs::create_directories(server.root() / "pub");

    PublishOnce(server, WriteLocal("10.1.2.3\r\n"), GetParam().remote);
    EXPECT_EQ(ReadFile(server.root() / GetParam().landsAt), "10.1.2.3\r\n");
    EXPECT_NE(server.transcript().find("<- STOR " + GetParam().remote + "\n"), std::string::npos)
        << server.transcript();
}

INSTANTIATE_TEST_SUITE_P(
    Names, RemoteNameTest,
    ::testing::Values(NameCase{"ip.txt", "home/ip.txt"}, NameCase{"sub/ip.txt", "home/sub/ip.txt"},
                      NameCase{"/ip.txt", "ip.txt"}, NameCase{"/pub/ip.txt", "pub/ip.txt"},
                      NameCase{"with space.txt", "home/with space.txt"},
                      NameCase{"#1 100%25 ?&;+=@:.txt", "home/#1 100%25 ?&;+=@:.txt"},
                      NameCase{"/pub/città ü€.txt", "pub/città ü€.txt"}));

enum class Target { kServer, kClosedPort, kBadName };

struct ConnectCase {
    const char* name;
    const char* mode;
    Target target;
    std::string password;
};

void PrintTo(const ConnectCase& c, std::ostream* out) { *out << c.name; }

class ConnectFailureTest : public FtpClientTest,
                           public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectFailureTest, GivesNoHandleAndNamesNoSecret) {
    const ConnectCase& c = GetParam();
    FtpTestServer server(Options(c.mode));
    const HINTERNET internet = Open();
    ASSERT_NE(internet, 0u);

    const auto start = std::chrono::steady_clock::now();
    HINTERNET ftp = 0;
    switch (c.target) {
        case Target::kServer:
            ftp = Connect(internet, "127.0.0.1", server.port(), c.password);
            break;
        case Target::kClosedPort:
            ftp = Connect(internet, "127.0.0.1", ClosedPort());
            break;
        case Target::kBadName:
            ftp = Connect(internet, "127.0.0.1/x@y", server.port());
            break;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangLimit);

    EXPECT_EQ(ftp, 0u);
    ExpectNoSecret(client_->LastErrorText());
    EXPECT_LE(server.commandCount("USER"), 1);  // a refused login is not tried again
    EXPECT_EQ(server.commandCount("STOR"), 0);
    EXPECT_EQ(server.commandCount("DELE"), 0);
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectFailureTest,
    ::testing::Values(ConnectCase{"WrongPassword", "normal", Target::kServer, "wrong"},
                      ConnectCase{"EmptyPassword", "normal", Target::kServer, ""},
                      ConnectCase{"CommandInPassword", "normal", Target::kServer,
                                  kPassword + "\r\nDELE x"},
                      ConnectCase{"NeverAnswers", "silent", Target::kServer, kPassword},
                      ConnectCase{"ClosedPort", "normal", Target::kClosedPort, kPassword},
                      ConnectCase{"BadServerName", "normal", Target::kBadName, kPassword}),
    [](const auto& info) { return std::string(info.param.name); });

struct UploadCase {
    const char* name;
    const char* mode;
    const char* permissions;
    std::string remote;
    bool localExists;
    int storCommands;  // what the server must have seen
};

void PrintTo(const UploadCase& c, std::ostream* out) { *out << c.name; }

class UploadFailureTest : public FtpClientTest, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(UploadFailureTest, ReportsFailureAndNamesNoSecret) {
    const UploadCase& c = GetParam();
    FtpServerOptions options = Options(c.mode);
    options.permissions = c.permissions;
    FtpTestServer server(options);
    const fs::path local = c.localExists ? WriteLocal(ArbitraryBytes()) : local_ / "absent.txt";

    const HINTERNET internet = Open();
    const HINTERNET ftp = Connect(internet, server);
    ASSERT_NE(ftp, 0u) << client_->LastErrorText();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Put(ftp, local, c.remote));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangLimit);

    ExpectNoSecret(client_->LastErrorText());
    EXPECT_EQ(server.commandCount("STOR"), c.storCommands) << server.transcript();
    EXPECT_EQ(server.commandCount("DELE"), 0);
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadFailureTest,
    ::testing::Values(
        UploadCase{"RefusedStore", "refuse-stor", "elradfmwMT", "ip.txt", true, 1},
        UploadCase{"DiskFull", "disk-full", "elradfmwMT", "ip.txt", true, 1},
        UploadCase{"DroppedDataConnection", "drop-data", "elradfmwMT", "ip.txt", true, 1},
        UploadCase{"StoreNeverAnswered", "stall-stor", "elradfmwMT", "ip.txt", true, 1},
        UploadCase{"MissingDirectory", "normal", "elradfmwMT", "nodir/ip.txt", true, 1},
        UploadCase{"NoPermission", "normal", "elr", "ip.txt", true, 1},
        UploadCase{"DirectoryName", "normal", "elradfmwMT", "pub/", true, 0},
        UploadCase{"CommandInName", "normal", "elradfmwMT", "ip.txt\r\nDELE x", true, 0},
        UploadCase{"MissingLocalFile", "normal", "elradfmwMT", "ip.txt", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpClientTest, ClosingTheRootClosesItsConnectionOnce) {
    FtpTestServer server(Options());
    const HINTERNET internet = Open();
    const HINTERNET ftp = Connect(internet, server);
    ASSERT_NE(ftp, 0u) << client_->LastErrorText();

    EXPECT_TRUE(client_->InternetCloseHandle(internet));
    EXPECT_EQ(server.commandCount("QUIT"), 1);
    EXPECT_FALSE(client_->InternetCloseHandle(internet));
    EXPECT_FALSE(client_->InternetCloseHandle(ftp));
    EXPECT_FALSE(Put(ftp, WriteLocal("x"), "ip.txt"));
    EXPECT_EQ(Connect(internet, server), 0u);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(FtpClientTest, ClosingTheConnectionLeavesTheRootOpen) {
    FtpTestServer server(Options());
    const HINTERNET internet = Open();
    const HINTERNET ftp = Connect(internet, server);
    ASSERT_NE(ftp, 0u) << client_->LastErrorText();

    EXPECT_TRUE(client_->InternetCloseHandle(ftp));
    EXPECT_EQ(server.commandCount("QUIT"), 1);
    const HINTERNET again = Connect(internet, server);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, ftp);  // handles are not reused
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
    EXPECT_EQ(server.commandCount("QUIT"), 2);
}

TEST_F(FtpClientTest, UnknownHandlesAreRefused) {
    constexpr HINTERNET kUnknown = 0xBAD0;
    EXPECT_EQ(Connect(kUnknown, "127.0.0.1", 21), 0u);
    EXPECT_EQ(Connect(0, "127.0.0.1", 21), 0u);
    EXPECT_FALSE(Put(kUnknown, WriteLocal("x"), "ip.txt"));
    EXPECT_FALSE(client_->InternetCloseHandle(kUnknown));
    EXPECT_FALSE(client_->InternetCloseHandle(0));

    const HINTERNET internet = Open();
    ASSERT_NE(internet, 0u);
    EXPECT_FALSE(Put(internet, WriteLocal("x"), "ip.txt"));  // a root is no FTP connection
    EXPECT_TRUE(client_->InternetCloseHandle(internet));
}

}  // namespace
}  // namespace orvane::ftp
