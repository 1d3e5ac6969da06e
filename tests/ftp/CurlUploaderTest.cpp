// The program's uploader (libcurl in its transfer helper) against real servers on loopback, well
// behaved and misbehaving, and the helper process itself.
#include "ftp/CurlUploader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <variant>

#include "ftp/Uploader.h"
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

// The program's event loop as a session sees it when nobody closes the program.
struct NeverClosing final : EventWait {
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
    }
    bool StopRequested() const override { return false; }
};

class UploaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << "no test FTP server: " << why;
    }

    fs::path WriteLocal(const std::string& bytes) {
        test::WriteText(local_ / "ip.txt", bytes);
        return local_ / "ip.txt";
    }
    OpenedSession Open(uint16_t port, const std::string& password = kPassword,
                       const std::string& host = "127.0.0.1", Protection protection = {}) {
        return uploader_->Open({host, port, kUser, password, protection}, wait_);
    }

    std::unique_ptr<Uploader> uploader_ = MakeSystemUploader(
        {std::chrono::seconds(2), std::chrono::seconds(2), std::chrono::seconds(2)});
    NeverClosing wait_;
    test::TempDir localDir_;
    fs::path local_ = localDir_.folder();
};

// The failure a session's step left, or nothing.
const UploadFailure* FailureOf(const OpenedSession& opened) {
    return std::get_if<UploadFailure>(&opened);
}

// Two sessions in turn, each one login with its uploads and a goodbye when it closes.
TEST_F(UploaderTest, StoresEveryNameByteForByteOverOneLoginPerSession) {
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
    for (int round = 1; round <= 2; ++round) {
        {
            OpenedSession opened = Open(server.port());
            ASSERT_EQ(FailureOf(opened), nullptr) << FailureOf(opened)->reason;
            UploadSession& session = *std::get<std::unique_ptr<UploadSession>>(opened);
            for (const auto& c : cases) {
                SCOPED_TRACE(c.remote);
                const std::string bytes = c.bytes + (round == 1 ? "" : "\r\nsecond");
                const auto failure = session.Put(WriteLocal(bytes).string(), c.remote);
                EXPECT_FALSE(failure) << failure->reason;
                EXPECT_EQ(test::ReadText(server.root() / c.landsAt), bytes);
            }
        }
        EXPECT_EQ(server.connectionCount(), round) << server.transcript();
        for (const char* verb : {"USER", "PASS", "QUIT"}) {
            EXPECT_EQ(server.commandCount(verb), round) << verb;
        }
    }
    EXPECT_EQ(server.commandCount("STOR"), static_cast<int>(2 * std::size(cases)));
    // Passive only, and the uploads are the only changes made on the server.
    for (const char* verb : {"PORT", "EPRT", "CWD", "MKD", "DELE", "RNFR", "APPE"}) {
        EXPECT_EQ(server.commandCount(verb), 0) << verb;
    }
}

// What the server or its identity does wrong, and what the client refuses to send or cannot
// read: the step that fails, within the bounds, with an error text that names no secret, one
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
    const char* helper = "";  // a shell script run as the transfer helper instead of the real one
};

void PrintTo(const Failure& f, std::ostream* out) { *out << f.name; }

class FailureTest : public UploaderTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(FailureTest, FailsTheRightStepWithinBoundsWithoutSecretsOrLeftovers) {
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
    WriteLocal(ArbitraryBytes());
    if (*f.helper != '\0') {
        const fs::path script = local_ / "helper";
        test::WriteText(script, std::string("#!/bin/sh\n") + f.helper + "\n");
        fs::permissions(script, fs::perms::owner_all);
        uploader_ = detail::MakeHelperUploader({}, script.string());
    }
    const auto start = std::chrono::steady_clock::now();
    UploadFailure failure{};
    {
        OpenedSession opened =
            Open(port, f.password, f.host, {*ParseProtocol(f.protocol), caFile, hostKey});
        if (const UploadFailure* refused = FailureOf(opened)) {
            failure = *refused;
        } else if (auto stored = std::get<0>(opened)->Put((local_ / f.local).string(), f.remote)) {
            failure = *stored;
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(failure.step, f.atLogin ? UploadStep::Login : UploadStep::Store) << failure.reason;
    const std::string& text = failure.reason;
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.find(f.says), npos) << text;
    EXPECT_EQ(text.find("p4ss"), npos) << text;
    EXPECT_EQ(text.find(kUser), npos) << text;
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
    {.name = "HelperDies",
     .atLogin = true,
     .says = "ended unexpectedly (exit status 7)",
     .helper = "exit 7"},
    {.name = "HelperAnswersGarbage",
     .atLogin = true,
     .says = "unreadable",
     .helper = "head -c 4 <&3 >/dev/null; printf '\\377\\377\\377\\377' >&3; exec sleep 30"},
};
INSTANTIATE_TEST_SUITE_P(Outside, FailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& test) { return std::string(test.param.name); });

// The transfer helpers this process started and has not reaped (zombies included).
std::vector<std::string> Helpers() {
    std::vector<std::string> helpers;
    const std::string parent = "PPid:\t" + std::to_string(getpid()) + "\n";
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream status(entry.path() / "status");
        const std::string text(std::istreambuf_iterator<char>(status), {});
        if (text.starts_with("Name:\torvane-transfer\n") && text.find(parent) != npos) {
            helpers.push_back(entry.path().string());
        }
    }
    return helpers;
}

// Closing asked for from a given moment; meanwhile it keeps what the transfer helpers' command
// lines and environments show.
struct ClosingLater final : EventWait {
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
        for (const std::string& child : Helpers()) {
            for (const char* part : {"/cmdline", "/environ"}) {
                std::ifstream file(child + part);
                shown.append(std::istreambuf_iterator<char>(file), {});
            }
        }
    }
    bool StopRequested() const override { return std::chrono::steady_clock::now() >= from; }

    std::chrono::steady_clock::time_point from = std::chrono::steady_clock::time_point::max();
    std::string shown;
};

// Closing the program while the server holds back its answer to a store: the store ends at
// once as cancelled and the helper process is gone; the password was never in its command line
// or environment.
TEST_F(UploaderTest, ClosingMidTransferLeavesNoHelperAndNoSecretShows) {
    FtpServerOptions options;
    options.mode = "stall-stor";
    FtpTestServer server(options);
    unsetenv("FTP_TEST_PASSWORD");  // the server's, given to it by this process's environment
    ClosingLater closing;
    {
        OpenedSession opened =
            uploader_->Open({"127.0.0.1", server.port(), kUser, kPassword, {}}, closing);
        ASSERT_EQ(FailureOf(opened), nullptr) << FailureOf(opened)->reason;
        const auto start = std::chrono::steady_clock::now();
        closing.from = start + std::chrono::milliseconds(300);
        const auto failure = std::get<0>(opened)->Put(WriteLocal("10.1.2.3").string(), "ip.txt");
        ASSERT_TRUE(failure);
        EXPECT_NE(failure->reason.find("cancelled"), npos) << failure->reason;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_EQ(Helpers(), std::vector<std::string>{});
    EXPECT_NE(closing.shown.find("orvane-transfer"), npos);  // a helper was looked at
    EXPECT_EQ(closing.shown.find(kPassword), npos);
}

// The public-address service over HTTPS: its answer read as plain text or as the common page;
// an answer without an address, one that never comes and a certificate the client cannot
// trust all fail within the lookup's bound, without an address.
TEST_F(UploaderTest, PublicAddressComesFromAServiceItCanTrust) {
    const struct {
        const char* name;
        const char* mode;
        const char* trust = "ca.pem";
        const char* host = "127.0.0.1";
        const char* address = nullptr;  // none: the lookup fails
    } cases[] = {
        {"plain", "plain", "ca.pem", "127.0.0.1", "198.51.100.77"},
        {"page", "page", "ca.pem", "127.0.0.1", "192.0.2.77"},
        {"garbage", "garbage"},
        {"slow", "slow"},
        {"another authority", "plain", "other-ca.pem"},
        {"a name the certificate lacks", "plain", "ca.pem", "localhost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FtpServerOptions options;
        options.protocol = "checkip";
        options.mode = c.mode;
        const FtpTestServer server(options);
        const std::string url =
            std::string("https://") + c.host + ":" + std::to_string(server.port()) + "/";
        const auto start = std::chrono::steady_clock::now();
        const PublicAddressAnswer answer =
            uploader_->LookUpPublicAddress({url, server.identity("https", c.trust).caFile}, wait_);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        if (c.address) {
            EXPECT_EQ(std::get<std::string>(answer), c.address);
        } else {
            ASSERT_TRUE(std::holds_alternative<LookupFailure>(answer));
            EXPECT_FALSE(std::get<LookupFailure>(answer).reason.empty());
        }
    }
}

}  // namespace
}  // namespace orvane::ftp
