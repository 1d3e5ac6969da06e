// The dyndns2 target over libcurl, as the transfer helper runs it: one HTTPS (or HTTP) GET with
// basic authentication, run on a thread of its own while the program's event loop is served, and
// given up at once when the program closes.
#include <pthread.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <thread>

#include "ftp/CurlLibrary.h"
#include "ftp/FtpUrl.h"
#include "ftp/ServerAddress.h"
#include "publish/Dyndns2Protocol.h"
#include "publish/HelperTargets.h"

namespace orvane::publish {

namespace {

constexpr long kConnectSeconds = 30;
constexpr long kWholeRequestSeconds = 60;
constexpr int kPollStepMs = 50;
constexpr std::size_t kLongestAnswer = 4096;  // a few lines are expected; the rest is dropped

struct Request {
    const ftp::CurlApi& curl;
    CURL* easy;
    std::atomic<bool> stopping{false};
    std::string answer;
};

size_t KeepAnswer(char* data, size_t size, size_t count, void* request) {
    std::string& answer = static_cast<Request*>(request)->answer;
    const size_t bytes = size * count;
    answer.append(data, std::min(bytes, kLongestAnswer - std::min(answer.size(), kLongestAnswer)));
    return bytes;
}

// libcurl asks often while a transfer runs, and while it waits for anything.
int StopWhenClosing(void* request, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Request*>(request)->stopping ? 1 : 0;
}

// "https://host:port/nic/update?query", the host checked by curl's URL parser.
std::optional<std::string> UpdateUrl(const ftp::CurlApi& curl, const Dyndns2Settings& settings,
                                     const std::string& query) {
    const ftp::ServerAddress server = ftp::SplitServer(settings.server, settings.https ? 443 : 80);
    if (!server.valid || server.host.empty()) return std::nullopt;
    CURLU* url = curl.url();
    if (url == nullptr) return std::nullopt;
    const std::string host =
        server.host.find(':') == std::string::npos ? server.host : "[" + server.host + "]";
    const std::string port = std::to_string(server.port);
    std::optional<std::string> result;
    char* text = nullptr;
    if (curl.url_set(url, CURLUPART_SCHEME, settings.https ? "https" : "http", 0) == CURLUE_OK &&
        curl.url_set(url, CURLUPART_HOST, host.c_str(), 0) == CURLUE_OK &&
        curl.url_set(url, CURLUPART_PORT, port.c_str(), 0) == CURLUE_OK &&
        curl.url_set(url, CURLUPART_PATH, std::string(kDyndns2Path).c_str(), 0) == CURLUE_OK &&
        curl.url_set(url, CURLUPART_QUERY, query.c_str(), 0) == CURLUE_OK &&
        curl.url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        result = text;
        curl.free(text);
    }
    curl.url_cleanup(url);
    return result;
}

void SetOptions(Request& request, const Dyndns2Settings& settings, const std::string& url) {
    const ftp::CurlApi& curl = request.curl;
    CURL* easy = request.easy;
    curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, settings.https ? "https" : "http");
    curl.easy_setopt(easy, CURLOPT_PROXY, "");  // direct, whatever the environment says
    curl.easy_setopt(easy, CURLOPT_USERAGENT, Dyndns2UserAgent().c_str());
    curl.easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl.easy_setopt(easy, CURLOPT_USERNAME, settings.user.c_str());
    curl.easy_setopt(easy, CURLOPT_PASSWORD, settings.password.c_str());
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) {
        curl.easy_setopt(easy, CURLOPT_CAINFO, settings.caFile.c_str());
        curl.easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    curl.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl.easy_setopt(easy, CURLOPT_TIMEOUT, kWholeRequestSeconds);
    curl.easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, KeepAnswer);
    curl.easy_setopt(easy, CURLOPT_WRITEDATA, &request);
    curl.easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, StopWhenClosing);
    curl.easy_setopt(easy, CURLOPT_XFERINFODATA, &request);
}

// The transfer, on its own thread, in short polls so that a close is seen within one.
CURLcode Transfer(Request& request) {
    const ftp::CurlApi& curl = request.curl;
    sigset_t signals;
    sigfillset(&signals);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the event loop's thread handles them
    CURLM* multi = curl.multi_init();
    if (multi == nullptr) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_FAILED_INIT;
    if (curl.multi_add_handle(multi, request.easy) == CURLM_OK) {
        int running = 1;
        CURLMcode state = curl.multi_perform(multi, &running);
        while (state == CURLM_OK && running != 0 && !request.stopping) {
            state = curl.multi_poll(multi, nullptr, 0, kPollStepMs, nullptr);
            if (state == CURLM_OK) state = curl.multi_perform(multi, &running);
        }
        int left = 0;
        while (const CURLMsg* message = curl.multi_info_read(multi, &left))
            if (message->msg == CURLMSG_DONE) result = message->data.result;
        if (request.stopping) result = CURLE_ABORTED_BY_CALLBACK;
        curl.multi_remove_handle(multi, request.easy);
    }
    curl.multi_cleanup(multi);
    return result;
}

class CurlDyndns2Target final : public Target {
  public:
    CurlDyndns2Target(Dyndns2Settings settings, std::shared_ptr<ftp::CurlLibrary> library)
        : settings_(std::move(settings)), library_(std::move(library)) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses&,
                    EventWait& wait) override {
        const ftp::CurlApi* curl = library_->Api();
        if (curl == nullptr) return Failure(library_->Error());
        if (ftp::HoldsLineBreakOrNul(settings_.user) ||
            ftp::HoldsLineBreakOrNul(settings_.password))
            return Failure("the user name or password holds NUL, CR or LF");
        const auto url = UpdateUrl(*curl, settings_, Dyndns2Query(settings_, now));
        if (!url) return Failure("the server name is not valid");
        CURL* easy = curl->easy_init();
        if (easy == nullptr) return Failure("the network library could not start a request");
        Request request{*curl, easy, {false}, {}};
        SetOptions(request, settings_, *url);
        const CURLcode code = RunOffLoop(request, wait);
        long status = 0;
        curl->easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl->easy_cleanup(easy);
        if (code == CURLE_ABORTED_BY_CALLBACK) return Failure("cancelled: the program is closing");
        if (code != CURLE_OK)
            return Failure(std::string("the request failed: ") + curl->easy_strerror(code) +
                           " (curl " + std::to_string(static_cast<int>(code)) + ")");
        return Dyndns2Verdict(status, request.answer);
    }

  private:
    static Outcome Failure(std::string reason) { return {Verdict::Failed, std::move(reason), {}}; }

    static CURLcode RunOffLoop(Request& request, EventWait& wait) {
        std::atomic<bool> done{false};
        CURLcode result = CURLE_FAILED_INIT;
        std::thread worker([&] {
            result = Transfer(request);
            done = true;
        });
        while (!done) {
            wait.WaitForEvents(std::chrono::milliseconds(kPollStepMs));
            if (wait.StopRequested()) request.stopping = true;
        }
        worker.join();
        return result;
    }

    Dyndns2Settings settings_;
    std::shared_ptr<ftp::CurlLibrary> library_;
};

}  // namespace

std::unique_ptr<Target> detail::MakeInProcessDyndns2Target(const Dyndns2Settings& settings) {
    return std::make_unique<CurlDyndns2Target>(settings, ftp::SystemCurlLibrary());
}

}  // namespace orvane::publish
