// ftp_probe.exe: one FTP session through the program's wininet uploader, as a publish cycle
// opens it. Prints "connect=<0|1> put=<0|1> step=<0-3> ms=<n>" and the failure's reason;
// used by tests/windows/wininet_cases.py. The password comes from FTP_TEST_PASSWORD; with
// FTP_PROBE_CLOSE_AFTER_MS, the program's closing is asked for that long after the start.
//   ftp_probe.exe HOST PORT USER LOCALFILE REMOTEFILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>

#include "ftp/Uploader.h"

namespace {

// The window's event loop, as far as the client sees it: a sleep, and closing from `closeAt` on.
struct ClosingAt final : orvane::EventWait {
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
    }
    bool StopRequested() const override { return std::chrono::steady_clock::now() >= closeAt; }
    std::chrono::steady_clock::time_point closeAt;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace orvane::ftp;
    if (argc != 6) {
        std::fprintf(stderr, "usage: ftp_probe HOST PORT USER LOCALFILE REMOTEFILE\n");
        return 2;
    }
    const char* password = std::getenv("FTP_TEST_PASSWORD");
    const auto uploader = MakeSystemUploader({std::chrono::seconds(3), std::chrono::seconds(3)});
    const char* closeAfter = std::getenv("FTP_PROBE_CLOSE_AFTER_MS");
    const auto start = std::chrono::steady_clock::now();
    ClosingAt closing;
    closing.closeAt =
        start + std::chrono::milliseconds(closeAfter ? std::atoi(closeAfter) : 1 << 30);
    bool connected = false;
    std::optional<UploadFailure> failure;
    {
        OpenedSession opened = uploader->Open({argv[1], static_cast<uint16_t>(std::atoi(argv[2])),
                                               argv[3], password ? password : "", Protection{}},
                                              closing);
        if (auto* session = std::get_if<std::unique_ptr<UploadSession>>(&opened)) {
            connected = true;
            failure = (*session)->Put(argv[4], argv[5]);
        } else {
            failure = std::get<UploadFailure>(opened);
        }
    }  // the session closes here
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("connect=%d put=%d step=%d ms=%lld\nerror=%s\n", connected, !failure,
                failure ? static_cast<int>(failure->step) : 0, static_cast<long long>(ms),
                failure ? failure->reason.c_str() : "");
    std::fflush(stdout);
    return 0;
}
