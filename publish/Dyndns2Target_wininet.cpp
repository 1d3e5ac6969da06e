// The dyndns2 target over wininet's HTTP: one GET with basic authentication, made on a thread of
// its own while the window's event loop is served, and given up at once when the program closes.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <thread>

#include "ftp/FtpUrl.h"
#include "ftp/ServerAddress.h"
#include "publish/Dyndns2Protocol.h"

namespace orvane::publish {

namespace {

constexpr DWORD kConnectMs = 30'000;
constexpr DWORD kStallMs = 60'000;
constexpr auto kWaitStep = std::chrono::milliseconds(50);
constexpr std::size_t kLongestAnswer = 4096;

// What the request's thread and the window's thread share; the thread keeps it alive after a
// close gives the request up.
struct Exchange {
    std::atomic<HINTERNET> internet{nullptr};
    std::atomic<bool> done{false};
    bool sent = false;
    DWORD error = 0;
    DWORD status = 0;
    std::string answer;
    ~Exchange() {
        if (HINTERNET handle = internet.exchange(nullptr)) InternetCloseHandle(handle);
    }
};

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
    InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
}

// Connects, sends and reads the answer; closing the internet handle from the other thread ends
// whichever of these is under way.
void Converse(Exchange& exchange, HINTERNET internet, const std::string& host, INTERNET_PORT port,
              bool https, const std::string& target, const std::string& headers) {
    HINTERNET connection = InternetConnectA(internet, host.c_str(), port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_NO_AUTO_REDIRECT | (https ? INTERNET_FLAG_SECURE : 0);
    HINTERNET request = connection == nullptr
                            ? nullptr
                            : HttpOpenRequestA(connection, "GET", target.c_str(), "HTTP/1.1",
                                               nullptr, nullptr, flags, 0);
    exchange.sent =
        request != nullptr &&
        HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
    if (exchange.sent) {
        DWORD size = sizeof exchange.status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &exchange.status,
                       &size, nullptr);
        char buffer[512];
        DWORD got = 0;
        while (exchange.answer.size() < kLongestAnswer &&
               InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0)
            exchange.answer.append(buffer, got);
    }
    exchange.error = exchange.sent ? 0 : GetLastError();
    if (request != nullptr) InternetCloseHandle(request);
    if (connection != nullptr) InternetCloseHandle(connection);
}

class WinInetDyndns2Target final : public Target {
  public:
    explicit WinInetDyndns2Target(Dyndns2Settings settings) : settings_(std::move(settings)) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses&,
                    EventWait& wait) override {
        if (!settings_.caFile.empty())
            return Failure("CAFILE is not supported here: the system's authorities are used");
        if (ftp::HoldsLineBreakOrNul(settings_.user) ||
            ftp::HoldsLineBreakOrNul(settings_.password))
            return Failure("the user name or password holds NUL, CR or LF");
        const ftp::ServerAddress server =
            ftp::SplitServer(settings_.server, settings_.https ? 443 : 80);
        if (!server.valid || server.host.empty()) return Failure("the server name is not valid");
        auto exchange = std::make_shared<Exchange>();
        HINTERNET internet = InternetOpenA(Dyndns2UserAgent().c_str(), INTERNET_OPEN_TYPE_DIRECT,
                                           nullptr, nullptr, 0);
        if (internet == nullptr) return Failure("the network library did not start");
        exchange->internet = internet;
        SetTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectMs);
        SetTimeout(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, kStallMs);
        SetTimeout(internet, INTERNET_OPTION_SEND_TIMEOUT, kStallMs);
        const std::string target = std::string(kDyndns2Path) + "?" + Dyndns2Query(settings_, now);
        const std::string headers =
            "Authorization: " + Dyndns2Authorization(settings_.user, settings_.password) + "\r\n";
        std::thread([exchange, internet, host = server.host, port = server.port,
                     https = settings_.https, target, headers] {
            Converse(*exchange, internet, host, port, https, target, headers);
            exchange->done = true;
        }).detach();
        while (!exchange->done) {
            wait.WaitForEvents(kWaitStep);
            if (!exchange->done && wait.StopRequested()) {
                // Ends the request's calls; the thread finishes on its own.
                if (HINTERNET handle = exchange->internet.exchange(nullptr))
                    InternetCloseHandle(handle);
                return Failure("cancelled: the program is closing");
            }
        }
        if (!exchange->sent)
            return Failure("the request failed (error " + std::to_string(exchange->error) + ")");
        return Dyndns2Verdict(static_cast<long>(exchange->status), exchange->answer);
    }

  private:
    static Outcome Failure(std::string reason) { return {Verdict::Failed, std::move(reason), {}}; }

    Dyndns2Settings settings_;
};

}  // namespace

std::unique_ptr<Target> MakeDyndns2Target(const Dyndns2Settings& settings) {
    return std::make_unique<WinInetDyndns2Target>(settings);
}

}  // namespace orvane::publish
