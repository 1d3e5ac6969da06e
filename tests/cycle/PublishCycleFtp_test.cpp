// The publish cycle against real servers on loopback (FTP, FTP over TLS, OpenSSH's SFTP) with
// the real libcurl uploader: what lands on the server.
#include <gtest/gtest.h>

#include "form/fOrvane.h"
#include "ftp/Uploader.h"
#include "support/Fakes.h"
#include "support/FtpTestServer.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class CycleWithServer : public FormRig {
  protected:
    CycleWithServer() : FormRig("127.0.0.1", ftp::MakeSystemUploader({2s, 2s})) {}
    void SetUp() override {
        std::string why;
        if (!FtpTestServer::Available(&why)) GTEST_SKIP() << why;
        support.values["FTP/USER"] = FakeSupport::Encode(FtpServerOptions().user);
        support.values["FTP/PASSWORD"] = FakeSupport::Encode(FtpServerOptions().password);
        support.values["FTP/FILE"] = "casa ip.txt";
        ASSERT_TRUE(logic.Load());
    }
};

// The FTP keys are read before every cycle, so one start-up serves each server in turn; each
// logs in to a directory that a relative path leads into and an absolute one past.
TEST_F(CycleWithServer, PublishesTheThreeLinesOverEachProtocol) {
    const struct {
        const char *protocol, *trust;
        bool known;
        const char *path, *landsAt;
    } cases[] = {{"ftp", "", false, "/pub/", "pub/casa ip.txt"},
                 {"ftps", "ca.pem", false, "./", "home/casa ip.txt"},
                 {"sftp", "fingerprint", false, "./", "home/casa ip.txt"},
                 {"sftp", "", true, "./", "home/casa ip.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.protocol) + " " + c.trust);
        FtpServerOptions options;
        options.protocol = c.protocol;
        options.loginDir = "home";
        if (options.protocol == "sftp" && !FtpTestServer::SshAvailable()) continue;
        FtpTestServer server(options);
        fs::create_directory(server.root() / "pub");
        const auto [caFile, hostKey] = server.identity(c.protocol, c.trust);
        support.values["FTP/SERVER"] = FakeSupport::Encode(server.address());
        support.values["FTP/PATH"] = FakeSupport::Encode(c.path);
        support.values["FTP/PROTOCOL"] = c.protocol;
        support.values["FTP/CAFILE"] = caFile;
        support.values["FTP/HOSTKEY"] = hostKey;
        const KnownHostsHome home(server, c.known);
        logic.PublishNow();
        EXPECT_EQ(window.Caption(Control::Label2), "Online");
        EXPECT_EQ(test::ReadText(server.root() / c.landsAt),
                  "Date: 12/06/26   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n");
        EXPECT_FALSE(fs::exists(dir / "ip.txt"));
    }
}

}  // namespace
}  // namespace orvane::testing
