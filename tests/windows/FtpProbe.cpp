// ftp_probe.exe: one FTP session through the program's wininet client, as a publish cycle opens
// it. Prints "connect=<0|1> put=<0|1> close=<0|1> ms=<n>" and the last error text;
// used by tests/windows/wininet_cases.py. The password comes from FTP_TEST_PASSWORD; with
// FTP_PROBE_CLOSE_AFTER_MS, the program's closing is asked for that long after the start.
//   ftp_probe.exe HOST PORT USER LOCALFILE REMOTEFILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "ftp/InternetClient.h"

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
    const auto client =
        MakeSystemInternetClient({std::chrono::seconds(3), std::chrono::seconds(3)});
    // The program always hands its event loop over, so the calls run on a thread of their own.
    const char* closeAfter = std::getenv("FTP_PROBE_CLOSE_AFTER_MS");
    const auto start = std::chrono::steady_clock::now();
    ClosingAt closing;
    closing.closeAt =
        start + std::chrono::milliseconds(closeAfter ? std::atoi(closeAfter) : 1 << 30);
    client->SetEventWait(&closing);
    const HINTERNET internet = client->InternetOpenA("Tarrowind", INTERNET_OPEN_TYPE_DIRECT, "", "",
                                                     INTERNET_FLAG_NO_CACHE_WRITE);
    const HINTERNET ftp =
        internet == 0
            ? 0
            : client->InternetConnectA(internet, argv[1], static_cast<uint16_t>(std::atoi(argv[2])),
                                       argv[3], password ? password : "", INTERNET_SERVICE_FTP,
                                       INTERNET_FLAG_PASSIVE, 0);
    const bool put =
        ftp != 0 && client->FtpPutFileA(ftp, argv[4], argv[5], FTP_TRANSFER_TYPE_BINARY, 0);
    const std::string error = client->LastErrorText();
    const bool closed = internet != 0 && client->InternetCloseHandle(internet);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("connect=%d put=%d close=%d ms=%lld\nerror=%s\n", ftp != 0, put, closed,
                static_cast<long long>(ms), error.c_str());
    std::fflush(stdout);
    return 0;
}
