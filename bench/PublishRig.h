// fOrvane set up for real publish cycles: the loopback test FTP server (plain or requiring TLS),
// the real libcurl uploader,
// real files in a temporary application folder, and in-memory stand-ins for the window, the clock,
// the settings and an active dial-up link (so no wait and no dialling).
#pragma once

#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "form/fOrvane.h"
#include "tests/support/Fakes.h"
#include "tests/support/FtpTestServer.h"

namespace orvane::bench {

class PublishRig {
  public:
    static constexpr const char* kUser = "bench";
    // A throwaway account of a server that lives as long as this object, on loopback only.
    static constexpr const char* kPassword = "bench-pw-7f3a";
    static constexpr const char* kRemoteFile = "/ip.txt";

    // Starts the server ("ftp", or "ftps" with its own certificate authority as CAFILE) and runs
    // the window's start-up; throws std::runtime_error on failure.
    explicit PublishRig(const std::string& protocol = "ftp");

    // One cycle through PublishNow; true when it ended "Online" (the upload was confirmed).
    bool PublishOnce();

    const std::filesystem::path& AppDir() const { return appDir_.path(); }
    testing::FtpTestServer& Server() { return *server_; }
    std::string LastError() const;

  private:
    TempDir appDir_{"orvane-bench-app"};
    std::unique_ptr<testing::FtpTestServer> server_;
    testing::FakeClock clock_;
    testing::FakeWindow window_{clock_};
    testing::FakeSupport support_{appDir_.path()};
    testing::FakeLinks links_;
    std::unique_ptr<ftp::Uploader> uploader_;
    int fatalStatus_ = 0;
    std::unique_ptr<fOrvane> logic_;
};

}  // namespace orvane::bench
