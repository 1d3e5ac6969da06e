// The uploader on wininet: the system's own FTP session, opened, used and closed in the order
// and with the flags the program has always used, with bounded network waits.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "ftp/FtpUrl.h"
#include "ftp/Uploader.h"

namespace orvane::ftp {

namespace {

// What InternetOpenA is told the program is called; FTP sends it nowhere.
constexpr const char* kAgent = "Tarrowind";

constexpr const char* kCancelled = "The transfer was cancelled: the program is closing.";

DWORD Milliseconds(std::chrono::milliseconds duration) {
    // 0 would mean "no bound" to some of the options, so the shortest bound is 1 ms.
    return static_cast<DWORD>(std::clamp<long long>(duration.count(), 1, 0x7FFFFFFF));
}

// What an error code of the library means, in words; the number is always given too.
std::string_view Meaning(DWORD code) {
    switch (code) {
        case ERROR_INTERNET_TIMEOUT: return "the server did not answer in time";
        case ERROR_INTERNET_NAME_NOT_RESOLVED: return "the server name could not be resolved";
        case ERROR_INTERNET_CANNOT_CONNECT: return "the server could not be reached";
        case ERROR_INTERNET_LOGIN_FAILURE:
        case ERROR_INTERNET_INCORRECT_PASSWORD:
        case ERROR_INTERNET_INCORRECT_USER_NAME: return "the server refused the login";
        case ERROR_INTERNET_CONNECTION_ABORTED:
        case ERROR_INTERNET_CONNECTION_RESET: return "the connection was broken off";
        case ERROR_INTERNET_EXTENDED_ERROR: return "the server refused the request";
        case ERROR_INVALID_HANDLE:
        case ERROR_INTERNET_INVALID_OPERATION:
        case ERROR_INTERNET_INCORRECT_HANDLE_TYPE: return "not a handle of the right kind";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return "the local file is missing";
        default: return "the network library reported an error";
    }
}

// The server's reply code (three digits) from the library's last response, if it has one.
// Only the code is kept: a reply text may quote the user name.
std::string LastReplyCode() {
    DWORD detail = 0;
    char text[512] = {};
    DWORD length = sizeof text;
    if (!InternetGetLastResponseInfoA(&detail, text, &length)) return {};
    const std::string_view reply(text, std::min<DWORD>(length, sizeof text));
    if (reply.size() < 3 ||
        !std::all_of(reply.begin(), reply.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return std::string(reply.substr(0, 3));
}

constexpr auto kWaitStep = std::chrono::milliseconds(50);

// A blocking call's outcome, with the thread-local error state it left, shared between the
// thread that made the call and the window's thread waiting for it.
struct Outcome {
    std::atomic<bool> done{false};
    bool succeeded = false;
    DWORD error = 0;
    std::string reply;  // the server's reply code, for a refusal
};

void RecordOutcome(Outcome& outcome, bool succeeded) {
    outcome.error = succeeded ? 0 : GetLastError();
    if (outcome.error == ERROR_INTERNET_EXTENDED_ERROR ||
        outcome.error == ERROR_INTERNET_LOGIN_FAILURE)
        outcome.reply = LastReplyCode();
    outcome.succeeded = succeeded;
    outcome.done = true;
}

// What a failed call left: what was done, the code and its meaning, and the server's reply code
// where there is one. Never the request's own texts.
std::string Reason(std::string_view what, const Outcome& outcome) {
    std::string text = std::string(what) + ": " + std::string(Meaning(outcome.error)) + " (error " +
                       std::to_string(outcome.error);
    if (!outcome.reply.empty()) text += ", last server reply " + outcome.reply;
    return text + ").";
}

UploadFailure Failed(UploadStep step, std::string reason) { return {step, std::move(reason)}; }

// Makes the blocking `call` on a thread of its own while the window's thread waits in its event
// loop, so the window lives and a close is acted on at once: the window's thread then closes
// `handle`, the one the call works on, which ends the call where wininet allows it, and stops
// waiting for it in any case. An abandoned call owns copies of its texts and the shared outcome
// only, so it may end after the session is gone. Nothing when closing cancelled the call.
std::shared_ptr<Outcome> RunOffLoop(EventWait& wait, ::HINTERNET handle,
                                    std::function<bool()> call) {
    auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, call = std::move(call)] { RecordOutcome(*outcome, call()); }).detach();
    while (!outcome->done) {
        wait.WaitForEvents(kWaitStep);
        if (!outcome->done && wait.StopRequested()) {
            ::InternetCloseHandle(handle);
            return nullptr;
        }
    }
    return outcome;
}

void SetTimeout(::HINTERNET handle, DWORD option, std::chrono::milliseconds bound) {
    DWORD value = Milliseconds(bound);
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// The internet handle and the FTP connection derived from it, logged in.
class WinInetSession final : public UploadSession {
  public:
    WinInetSession(::HINTERNET internet, ::HINTERNET ftp, EventWait& wait)
        : internet_(internet), ftp_(ftp), wait_(wait) {}

    // One close, on the internet handle: it ends the FTP connection with it.
    ~WinInetSession() override { ::InternetCloseHandle(internet_); }

    std::optional<UploadFailure> Put(const std::string& localFile,
                                     const std::string& remotePath) override {
        // The same names the other uploader refuses: no file could carry them, or they could
        // end the command line.
        if (!FtpUrlPath(remotePath)) {
            return Failed(UploadStep::Store,
                          "The remote file name is empty, ends in \"/\" or holds NUL, CR or LF.");
        }
        const auto outcome = RunOffLoop(wait_, ftp_, [ftp = ftp_, localFile, remotePath] {
            return ::FtpPutFileA(ftp, localFile.c_str(), remotePath.c_str(),
                                 FTP_TRANSFER_TYPE_BINARY, 0) != FALSE;
        });
        if (!outcome) return Failed(UploadStep::Store, kCancelled);
        if (!outcome->succeeded) {
            return Failed(UploadStep::Store, Reason("Uploading the file failed", *outcome));
        }
        return std::nullopt;
    }

  private:
    ::HINTERNET internet_;
    ::HINTERNET ftp_;
    EventWait& wait_;
};

class WinInetUploader final : public Uploader {
  public:
    explicit WinInetUploader(Timeouts timeouts) : timeouts_(timeouts) {}

    bool Supports(Protocol protocol) const override { return PlatformSupports(protocol); }

    // InternetOpenA, then InternetConnectA in passive mode; a failed connection closes the
    // internet handle again before this returns.
    OpenedSession Open(const SessionTarget& target, EventWait& wait) override {
        if (HoldsLineBreakOrNul(target.host) || HoldsLineBreakOrNul(target.user) ||
            HoldsLineBreakOrNul(target.password)) {
            return Failed(UploadStep::Login,
                          "The FTP server, user name or password holds NUL, CR or LF.");
        }
        ::HINTERNET internet = ::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "",
                                               INTERNET_FLAG_NO_CACHE_WRITE);
        if (internet == nullptr) {
            Outcome outcome;
            RecordOutcome(outcome, false);
            return Failed(UploadStep::OpenInternet,
                          Reason("Opening the network library failed", outcome));
        }
        // Set on the root, the bounds hold for every connection derived from it.
        SetTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT, timeouts_.connect);
        SetTimeout(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts_.stall);
        SetTimeout(internet, INTERNET_OPTION_SEND_TIMEOUT, timeouts_.stall);
        SetTimeout(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeouts_.stall);
        SetTimeout(internet, INTERNET_OPTION_DATA_SEND_TIMEOUT, timeouts_.stall);
        auto connected = std::make_shared<std::atomic<::HINTERNET>>(nullptr);
        const auto outcome = RunOffLoop(wait, internet, [connected, internet, target] {
            connected->store(::InternetConnectA(internet, target.host.c_str(), target.port,
                                                target.user.c_str(), target.password.c_str(),
                                                INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
            return connected->load() != nullptr;
        });
        if (!outcome) return Failed(UploadStep::Login, kCancelled);
        if (!outcome->succeeded) {
            ::InternetCloseHandle(internet);
            return Failed(UploadStep::Login,
                          Reason("Connecting to the FTP server failed", *outcome));
        }
        return OpenedSession(std::make_unique<WinInetSession>(internet, connected->load(), wait));
    }

    // This build asks no public-address service: a cycle that needs one fails, saying why.
    PublicAddressAnswer LookUpPublicAddress(const AddressService&, EventWait&) override {
        return LookupFailure{"The Windows build cannot ask a public-address service (CHECKIP)."};
    }

  private:
    Timeouts timeouts_;
};

}  // namespace

std::unique_ptr<Uploader> MakeSystemUploader(Timeouts timeouts) {
    return std::make_unique<WinInetUploader>(timeouts);
}

}  // namespace orvane::ftp
