// The internet client on wininet: the system's own FTP session, with bounded network waits.
// The program's own names first: wininet.h defines some of them as macros.
// clang-format off
#include "ftp/FtpUrl.h"
#include "ftp/InternetClient.h"

#include <windows.h>

#include <wininet.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string_view>
#include <thread>

namespace orvane::ftp {

namespace {

::HINTERNET ToSystem(HINTERNET handle) { return reinterpret_cast<::HINTERNET>(handle); }
HINTERNET FromSystem(::HINTERNET handle) { return reinterpret_cast<HINTERNET>(handle); }

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

// Handles are the library's own. The blocking calls run on a thread of their own while the
// window's thread waits in its event loop, so the window lives and a close is acted on at once:
// the window's thread then closes the handle the call works on, which ends the call where
// wininet allows it, and stops waiting for it in any case. An abandoned call owns copies of
// its texts and the shared outcome only, so it may end after the client is gone.
class WinInetClient final : public InternetClient {
  public:
    explicit WinInetClient(Timeouts timeouts) : timeouts_(timeouts) {}

    HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType, const std::string& proxy,
                            const std::string& proxyBypass, uint32_t flags) override {
        ::HINTERNET root =
            ::InternetOpenA(agent.c_str(), accessType, proxy.c_str(), proxyBypass.c_str(), flags);
        if (root == nullptr) return Fail("Opening the network library failed");
        // Set on the root, the bounds hold for every connection derived from it.
        SetTimeout(root, INTERNET_OPTION_CONNECT_TIMEOUT, timeouts_.connect);
        SetTimeout(root, INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts_.stall);
        SetTimeout(root, INTERNET_OPTION_SEND_TIMEOUT, timeouts_.stall);
        SetTimeout(root, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, timeouts_.stall);
        SetTimeout(root, INTERNET_OPTION_DATA_SEND_TIMEOUT, timeouts_.stall);
        return FromSystem(root);
    }

    HINTERNET InternetConnectA(HINTERNET internet, const std::string& server, uint16_t port,
                               const std::string& user, const std::string& password,
                               uint32_t service, uint32_t flags, uintptr_t context) override {
        if (HoldsLineBreakOrNul(server) || HoldsLineBreakOrNul(user) ||
            HoldsLineBreakOrNul(password)) {
            lastError_ = "The FTP server, user name or password holds NUL, CR or LF.";
            return 0;
        }
        auto connected = std::make_shared<std::atomic<::HINTERNET>>(nullptr);
        const auto outcome = Run(internet, [=] {
            connected->store(::InternetConnectA(
                ToSystem(internet), server.c_str(), port == 0 ? INTERNET_DEFAULT_FTP_PORT : port,
                user.c_str(), password.c_str(), service, flags, context));
            return connected->load() != nullptr;
        });
        if (!outcome) return 0;
        if (!outcome->succeeded) return Fail("Connecting to the FTP server failed", *outcome);
        return FromSystem(connected->load());
    }

    bool FtpPutFileA(HINTERNET ftp, const std::string& localFile, const std::string& remoteFile,
                     uint32_t flags, uintptr_t context) override {
        // The same names the other clients refuse: no file could carry them, or they could
        // end the command line.
        if (!FtpUrlPath(remoteFile)) {
            lastError_ = "The remote file name is empty, ends in \"/\" or holds NUL, CR or LF.";
            return false;
        }
        const auto outcome = Run(ftp, [=] {
            return ::FtpPutFileA(ToSystem(ftp), localFile.c_str(), remoteFile.c_str(), flags,
                                 context) != FALSE;
        });
        if (!outcome) return false;
        if (!outcome->succeeded) return Fail("Uploading the file failed", *outcome) != 0;
        return true;
    }

    bool InternetCloseHandle(HINTERNET handle) override {
        if (closedOnCancel_.erase(handle) != 0) return true;  // closed already, by Run
        if (handle == 0 || !::InternetCloseHandle(ToSystem(handle)))
            return Fail("Closing the handle failed") != 0;
        return true;
    }

    std::string LastErrorText() const override { return lastError_; }

    void SetEventWait(EventWait* wait) override { wait_ = wait; }

  private:
    // Makes the blocking `call` and gives its outcome; nothing when the program's closing
    // cancelled it (after closing `handle`). Without an event wait the call is made here.
    std::shared_ptr<Outcome> Run(HINTERNET handle, std::function<bool()> call) {
        auto outcome = std::make_shared<Outcome>();
        if (wait_ == nullptr) {
            RecordOutcome(*outcome, call());
            return outcome;
        }
        std::thread([outcome, call = std::move(call)] {
            RecordOutcome(*outcome, call());
        }).detach();
        while (!outcome->done) {
            wait_->WaitForEvents(kWaitStep);
            if (!outcome->done && wait_->StopRequested()) {
                if (::InternetCloseHandle(ToSystem(handle))) closedOnCancel_.insert(handle);
                lastError_ = "The transfer was cancelled: the program is closing.";
                return nullptr;
            }
        }
        return outcome;
    }

    static void SetTimeout(::HINTERNET handle, DWORD option, std::chrono::milliseconds bound) {
        DWORD value = Milliseconds(bound);
        InternetSetOptionA(handle, option, &value, sizeof value);
    }

    // Records a failure: what was done, the code and its meaning, and the server's reply code
    // where there is one. Never the request's own texts.
    HINTERNET Fail(std::string_view what, const Outcome& outcome) {
        std::string text = std::string(what) + ": " + std::string(Meaning(outcome.error)) +
                           " (error " + std::to_string(outcome.error);
        if (!outcome.reply.empty()) text += ", last server reply " + outcome.reply;
        lastError_ = text + ").";
        return 0;
    }

    // The same for a call just made on this thread.
    HINTERNET Fail(std::string_view what) {
        Outcome outcome;
        RecordOutcome(outcome, false);
        return Fail(what, outcome);
    }

    Timeouts timeouts_;
    std::string lastError_;
    EventWait* wait_ = nullptr;
    std::set<HINTERNET> closedOnCancel_;
};

}  // namespace

std::unique_ptr<InternetClient> MakeSystemInternetClient(Timeouts timeouts) {
    return std::make_unique<WinInetClient>(timeouts);
}

}  // namespace orvane::ftp
