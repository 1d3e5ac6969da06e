// The uploader on libcurl: one connection per session (FTP, FTP over TLS or SFTP), logged in
// when it opens and kept for its uploads. libcurl is loaded when the first session opens and
// called through its table of entry points. Its blocking work runs on a thread of its own while
// the program's event loop is served, and ends at once when the program closes.
#include "ftp/CurlUploader.h"

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "ftp/CurlLibrary.h"
#include "ftp/FtpUrl.h"
#include "ftp/PublicAddress.h"
#include "ftp/RevokedKeys.h"
#include "ftp/SessionSockets.h"

namespace orvane::ftp {

namespace {

struct EasyDeleter {
    const CurlApi* curl;
    void operator()(CURL* easy) const { curl->easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter {
    const CurlApi* curl;
    void operator()(CURLM* multi) const { curl->multi_cleanup(multi); }  // QUIT on its connections
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// libcurl's blocking perform idles up to a second when a reply comes back before it expected
// to wait for it; polling in short steps keeps a session quick. curl's own timers still bound
// every wait, they are checked on each step. The event loop's thread serves its events at the
// same pace while it waits for the thread that runs libcurl, so a close is seen within a step.
constexpr int kPollStepMs = 50;

constexpr const char* kCancelled = "The transfer was cancelled: the program is closing.";

// What libcurl 7.88 says when libssh2's key exchange fails (LIBSSH2_ERROR_KEX_FAILURE). With
// today's OpenSSH that happens when the server has only RSA host keys: it signs with rsa-sha2
// only, which the libssh2 here cannot verify.
constexpr const char* kSshKeyExchangeFailed = "establishing ssh session: -5,";
constexpr const char* kRsaOnly =
    "Connecting to the server failed: the SSH handshake found no host key this build's SSH "
    "library can verify. The server most likely offers only RSA host keys, whose rsa-sha2 "
    "signatures this SSH library cannot check; an Ed25519 or ECDSA host key on the server "
    "would do (curl 2).";

// What a session's callbacks and the thread that runs libcurl share with the event loop's thread.
struct SharedState {
    SessionSockets sockets;
    std::atomic<bool> stopping{false};
    std::string knownHosts;  // sftp without a pinned key: where the host key is looked up
    char errors[CURL_ERROR_SIZE] = {};  // libcurl's own words, read but never shown

    // Ends whatever libcurl does on this connection within moments, and refuses anything more.
    void Stop() {
        stopping = true;
        sockets.ShutDown();
    }
};

// A thread for blocking libcurl work, joined at the latest when this object goes. It blocks the
// process's signals (closing, publishing): they are the event loop thread's to handle, and one
// landing in a libcurl wait here would end that wait as if it had timed out.
class Worker {
  public:
    explicit Worker(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              BlockSignals();
              work();
              const std::lock_guard lock(mutex_);
              done_ = true;
              finished_.notify_all();
          }) {}
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() { thread_.join(); }

    // True once the work has ended; waits for that at most `bound`.
    bool WaitFor(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, bound, [this] { return done_; });
    }

  private:
    // All but those that report a fault of this thread's own.
    static void BlockSignals() {
        sigset_t signals;
        sigfillset(&signals);
        for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) {
            sigdelset(&signals, fault);
        }
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    }

    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the rest exists
};

struct UrlDeleter {
    const CurlApi* curl;
    void operator()(CURLU* url) const { curl->url_cleanup(url); }
};

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

// Whole seconds for the options that take seconds; a bound never shrinks to zero (no bound).
long CeilSeconds(std::chrono::milliseconds duration) {
    const long ms = static_cast<long>(duration.count());
    return ms <= 1000 ? 1 : (ms + 999) / 1000;
}

// "ftp://host:port/" (or sftp://), with the host checked by curl's URL parser so nothing in it
// can change the URL's meaning; an IPv6 address gets its brackets.
std::optional<std::string> BaseUrl(const CurlApi& curl, const char* scheme, const std::string& host,
                                   uint16_t port) {
    if (host.empty()) return std::nullopt;
    std::unique_ptr<CURLU, UrlDeleter> url(curl.url(), UrlDeleter{&curl});
    if (!url) return std::nullopt;
    const std::string urlHost = host.find(':') == std::string::npos ? host : "[" + host + "]";
    const std::string urlPort = std::to_string(port);
    if (curl.url_set(url.get(), CURLUPART_SCHEME, scheme, 0) != CURLUE_OK ||
        curl.url_set(url.get(), CURLUPART_HOST, urlHost.c_str(), 0) != CURLUE_OK ||
        curl.url_set(url.get(), CURLUPART_PORT, urlPort.c_str(), 0) != CURLUE_OK ||
        curl.url_set(url.get(), CURLUPART_PATH, "/", 0) != CURLUE_OK) {
        return std::nullopt;
    }
    char* text = nullptr;
    if (curl.url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return std::nullopt;
    std::string result(text);
    curl.free(text);
    return result;
}

// An SSH host key is accepted only when the known hosts file holds it for this host and does not
// mark it @revoked: an unknown key is refused like a changed one, and the file is never written.
int AcceptOnlyKnownKey(CURL*, const curl_khkey*, const curl_khkey* offered, curl_khmatch match,
                       void* shared) {
    if (match != CURLKHMATCH_OK) return CURLKHSTAT_REJECT;
    // The offered key comes as its blob, or as base64 text when its length is 0.
    const std::string key =
        offered->len == 0 ? std::string(offered->key) : Base64({offered->key, offered->len});
    const bool revoked = IsRevokedHostKey(static_cast<SharedState*>(shared)->knownHosts, key);
    return revoked ? CURLKHSTAT_REJECT : CURLKHSTAT_FINE;
}

// The user's OpenSSH known hosts file, or nothing when the user has no home directory.
std::optional<std::string> KnownHostsFile() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') return std::nullopt;
    return std::string(home) + "/.ssh/known_hosts";
}

size_t ReadFromFd(char* buffer, size_t size, size_t count, void* userdata) {
    const int fd = *static_cast<int*>(userdata);
    for (;;) {
        const ssize_t got = read(fd, buffer, size * count);
        if (got >= 0) return static_cast<size_t>(got);
        if (errno != EINTR) return CURL_READFUNC_ABORT;
    }
}

// Runs blocking libcurl `work` for a session on a thread of its own while this thread serves the
// event loop. libcurl waits for some replies (the one after a file's last byte, QUIT's) and for
// handshakes inside calls that nothing else can interrupt; once the program is closing, the
// session's sockets are shut down, so that whatever it waits for ends at once. True when closing
// cut the work short; either way the work has ended when this returns.
bool RunOffLoop(SharedState& shared, EventWait& wait, const std::function<void()>& work) {
    Worker worker(work);
    while (!worker.WaitFor(std::chrono::milliseconds(kPollStepMs))) {
        wait.WaitForEvents(std::chrono::milliseconds(0));
        if (wait.StopRequested()) {
            shared.Stop();
            return true;  // the worker, joined on the way out, soon ends
        }
    }
    return false;
}

// What every transfer of the program sets: no signals, its sockets recorded so that closing can
// shut them, an error buffer, no waiting for a name lookup given up, and no proxy.
void SetTransferBasics(const CurlApi& curl, CURL* easy, SharedState& shared) {
    curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, SessionSockets::Open);
    curl.easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &shared.sockets);
    curl.easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, SessionSockets::Close);
    curl.easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &shared.sockets);
    curl.easy_setopt(easy, CURLOPT_ERRORBUFFER, shared.errors);
    // A name lookup still under way when a transfer is given up is left to end on its own
    // thread instead of being waited for (it may take the resolver's whole time-out).
    curl.easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl.easy_setopt(easy, CURLOPT_PROXY, "");  // direct, whatever the environment says
}

// One transfer on `easy` through `multi`, to its end, on the thread that runs libcurl; its
// result. Taking it off the multi handle unfinished, when the program closes, drops its
// connection without a goodbye.
CURLcode TransferOn(const CurlApi& curl, CURLM* multi, CURL* easy, const SharedState& shared) {
    if (curl.multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    int running = 1;
    CURLMcode state = curl.multi_perform(multi, &running);
    while (state == CURLM_OK && running != 0) {
        state = curl.multi_poll(multi, nullptr, 0, kPollStepMs, nullptr);
        if (shared.stopping) {
            curl.multi_remove_handle(multi, easy);
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (state == CURLM_OK) state = curl.multi_perform(multi, &running);
    }
    CURLcode result = CURLE_FAILED_INIT;
    int left = 0;
    while (const CURLMsg* message = curl.multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
            result = message->data.result;
        }
    }
    curl.multi_remove_handle(multi, easy);
    return result;
}

UploadFailure Failed(UploadStep step, std::string reason) { return {step, std::move(reason)}; }

// One connection, logged in once and kept for the uploads. Every connection is direct (no proxy,
// whatever the environment says). The control connection lives in the multi handle's cache
// between transfers, so the multi handle goes after the easy one; closing it sends QUIT. The
// shared state goes last: the handles' callbacks use it until they are gone.
class CurlSession final : public UploadSession {
  public:
    CurlSession(const CurlApi& curl, EventWait& wait, std::string baseUrl, bool sftp)
        : curl_(curl),
          wait_(wait),
          baseUrl_(std::move(baseUrl)),
          sftp_(sftp),
          multi_(curl.multi_init(), MultiDeleter{&curl}),
          easy_(curl.easy_init(), EasyDeleter{&curl}) {}

    // Says goodbye (QUIT) unless the program is closing.
    ~CurlSession() override {
        if (wait_.StopRequested()) shared_.Stop();
        RunOffLoop(shared_, wait_, [this] {
            easy_.reset();
            multi_.reset();
        });
    }

    bool Started() const { return multi_ && easy_; }

    std::optional<UploadFailure> LogIn(const SessionTarget& target, const Timeouts& timeouts) {
        SetConnectionOptions(target, timeouts);
        if (auto failure = SetProtectionOptions(target.protection)) return failure;
        // A transfer without a body on the login directory: curl connects, logs in and stops.
        // The control connection stays open in the handle for the uploads that follow.
        curl_.easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
        const CURLcode code = Perform();
        if (code == CURLE_ABORTED_BY_CALLBACK) return Failed(UploadStep::Login, kCancelled);
        if (code == CURLE_FAILED_INIT && sftp_ &&
            std::strstr(shared_.errors, kSshKeyExchangeFailed) != nullptr) {
            return Failed(UploadStep::Login, kRsaOnly);
        }
        if (code != CURLE_OK) {
            return Failed(UploadStep::Login, Reason("Connecting to the server failed", code));
        }
        return std::nullopt;
    }

    std::optional<UploadFailure> Put(const std::string& localFile,
                                     const std::string& remotePath) override {
        const auto urlPath = sftp_ ? SftpUrlPath(remotePath) : FtpUrlPath(remotePath);
        if (!urlPath) {
            return Failed(UploadStep::Store,
                          "The remote file name is empty, ends in \"/\" or holds NUL, CR or LF.");
        }
        FdCloser file{open(localFile.c_str(), O_RDONLY | O_CLOEXEC)};
        struct stat info {};
        if (file.fd < 0 || fstat(file.fd, &info) != 0) {
            return Failed(UploadStep::Store,
                          "Cannot read the local file " + localFile + ": " + std::strerror(errno));
        }
        if (!S_ISREG(info.st_mode)) {
            return Failed(UploadStep::Store, "The local file is not a regular file.");
        }
        return Upload(file.fd, info.st_size, baseUrl_ + *urlPath);
    }

  private:
    // What failed in curl's own words and the server's last reply code; built from codes only,
    // never from a URL or the credentials.
    std::string Reason(std::string_view what, CURLcode code) const {
        long reply = 0;
        curl_.easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &reply);
        std::string text = std::string(what) + ": " + curl_.easy_strerror(code) + " (curl " +
                           std::to_string(static_cast<int>(code));
        if (reply != 0) text += ", last server reply " + std::to_string(reply);
        return text + ").";
    }

    void SetConnectionOptions(const SessionTarget& target, const Timeouts& timeouts) {
        CURL* easy = easy_.get();
        SetTransferBasics(curl_, easy, shared_);
        curl_.easy_setopt(easy, CURLOPT_USERNAME, target.user.c_str());
        curl_.easy_setopt(easy, CURLOPT_PASSWORD, target.password.c_str());
        curl_.easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_.easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 1L);
        curl_.easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        // 0 would mean curl's default of minutes, so the shortest bound is 1 ms.
        curl_.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                          std::max(1L, static_cast<long>(timeouts.connect.count())));
        curl_.easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, CeilSeconds(timeouts.stall));
        curl_.easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_.easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, CeilSeconds(timeouts.stall));
        curl_.easy_setopt(easy, CURLOPT_URL, baseUrl_.c_str());
    }

    // Plain FTP as it is; FTP with TLS required on the control and data connections, the
    // certificate and name checked; SFTP with the host key checked against the pinned
    // fingerprint or the known hosts, and the password as the only way to log in.
    std::optional<UploadFailure> SetProtectionOptions(const Protection& protection) {
        CURL* easy = easy_.get();
        curl_.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, sftp_ ? "sftp" : "ftp");
        if (protection.protocol == Protocol::Ftps) {
            curl_.easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            curl_.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!protection.caFile.empty()) {
                // Only that file: the system's directory of authorities is not consulted too.
                curl_.easy_setopt(easy, CURLOPT_CAINFO, protection.caFile.c_str());
                curl_.easy_setopt(easy, CURLOPT_CAPATH, nullptr);
            }
        }
        if (!sftp_) return std::nullopt;
        curl_.easy_setopt(easy, CURLOPT_SSH_AUTH_TYPES,
                          static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        if (!protection.hostKey.empty()) {
            if (!IsHostKeyFingerprint(protection.hostKey)) {
                return Failed(UploadStep::Login,
                              "The host key fingerprint is not in the form SHA256:<base64>.");
            }
            const std::string digest = protection.hostKey.substr(protection.hostKey.find(':') + 1);
            curl_.easy_setopt(easy, CURLOPT_SSH_HOST_PUBLIC_KEY_SHA256, digest.c_str());
            return std::nullopt;
        }
        const auto knownHosts = KnownHostsFile();
        if (!knownHosts) {
            return Failed(UploadStep::Login,
                          "No home directory, so no known_hosts to check the host key.");
        }
        shared_.knownHosts = *knownHosts;
        curl_.easy_setopt(easy, CURLOPT_SSH_KNOWNHOSTS, knownHosts->c_str());
        curl_.easy_setopt(easy, CURLOPT_SSH_KEYFUNCTION, AcceptOnlyKnownKey);
        curl_.easy_setopt(easy, CURLOPT_SSH_KEYDATA, &shared_);
        return std::nullopt;
    }

    std::optional<UploadFailure> Upload(int fd, off_t size, const std::string& url) {
        CURL* easy = easy_.get();
        int readFd = fd;
        curl_.easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_.easy_setopt(easy, CURLOPT_NOBODY, 0L);
        curl_.easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_.easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
        curl_.easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromFd);
        curl_.easy_setopt(easy, CURLOPT_READDATA, &readFd);
        curl_.easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        const CURLcode code = Perform();
        curl_.easy_setopt(easy, CURLOPT_READDATA, nullptr);
        curl_.easy_setopt(easy, CURLOPT_UPLOAD, 0L);
        if (code == CURLE_ABORTED_BY_CALLBACK) return Failed(UploadStep::Store, kCancelled);
        if (code != CURLE_OK) {
            return Failed(UploadStep::Store, Reason("Uploading the file failed", code));
        }
        curl_off_t sent = 0;
        curl_.easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        if (sent != size) {
            return Failed(UploadStep::Store, "The local file changed while it was being uploaded.");
        }
        return std::nullopt;
    }

    // One transfer on the session's handles, to its end; its result. A transfer the program's
    // closing stops is CURLE_ABORTED_BY_CALLBACK.
    CURLcode Perform() {
        shared_.errors[0] = '\0';
        CURLcode result = CURLE_FAILED_INIT;
        const bool stopped = RunOffLoop(shared_, wait_, [&] { result = Transfer(); });
        return stopped && result != CURLE_OK ? CURLE_ABORTED_BY_CALLBACK : result;
    }

    CURLcode Transfer() { return TransferOn(curl_, multi_.get(), easy_.get(), shared_); }

    const CurlApi& curl_;
    EventWait& wait_;
    std::string baseUrl_;
    bool sftp_;
    SharedState shared_;
    MultiHandle multi_;
    EasyHandle easy_;
};

// One question to a public-address service: an HTTPS GET, direct, the certificate and name
// checked, no redirection followed, bounded as a whole; the answer kept up to the largest a
// service gives.
class AddressQuestion {
  public:
    AddressQuestion(const CurlApi& curl, EventWait& wait)
        : curl_(curl),
          wait_(wait),
          multi_(curl.multi_init(), MultiDeleter{&curl}),
          easy_(curl.easy_init(), EasyDeleter{&curl}) {}
    ~AddressQuestion() {
        if (wait_.StopRequested()) shared_.Stop();
    }

    PublicAddressAnswer Ask(const AddressService& service, const Timeouts& timeouts) {
        if (!multi_ || !easy_) return LookupFailure{"The network library could not start."};
        if (service.url.rfind("https://", 0) != 0)
            return LookupFailure{"The public-address service's address is not https://."};
        SetOptions(service, timeouts);
        CURLcode code = CURLE_FAILED_INIT;
        const bool stopped = RunOffLoop(
            shared_, wait_, [&] { code = TransferOn(curl_, multi_.get(), easy_.get(), shared_); });
        if (stopped) return LookupFailure{kCancelled};
        if (code != CURLE_OK) {
            return LookupFailure{std::string("Asking the public-address service failed: ") +
                                 curl_.easy_strerror(code) + " (curl " +
                                 std::to_string(static_cast<int>(code)) + ")."};
        }
        if (auto address = ParsePublicAddress(answer_)) return *address;
        return LookupFailure{"The public-address service's answer holds no IPv4 address."};
    }

  private:
    void SetOptions(const AddressService& service, const Timeouts& timeouts) {
        CURL* easy = easy_.get();
        SetTransferBasics(curl_, easy, shared_);
        curl_.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
        curl_.easy_setopt(easy, CURLOPT_URL, service.url.c_str());
        curl_.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!service.caFile.empty()) {
            curl_.easy_setopt(easy, CURLOPT_CAINFO, service.caFile.c_str());
            curl_.easy_setopt(easy, CURLOPT_CAPATH, nullptr);
        }
        curl_.easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
        const long whole = std::max(1L, static_cast<long>(timeouts.lookup.count()));
        curl_.easy_setopt(easy, CURLOPT_TIMEOUT_MS, whole);
        curl_.easy_setopt(
            easy, CURLOPT_CONNECTTIMEOUT_MS,
            std::min(whole, std::max(1L, static_cast<long>(timeouts.connect.count()))));
        curl_.easy_setopt(easy, CURLOPT_WRITEFUNCTION, Keep);
        curl_.easy_setopt(easy, CURLOPT_WRITEDATA, &answer_);
    }

    // More than the largest answer ends the transfer: no service says that much.
    static size_t Keep(char* data, size_t size, size_t count, void* answer) {
        auto& text = *static_cast<std::string*>(answer);
        if (text.size() + size * count > kLargestAddressAnswer) return 0;
        text.append(data, size * count);
        return size * count;
    }

    const CurlApi& curl_;
    EventWait& wait_;
    SharedState shared_;
    MultiHandle multi_;
    EasyHandle easy_;
    std::string answer_;
};

class CurlUploader final : public Uploader {
  public:
    CurlUploader(Timeouts timeouts, std::shared_ptr<CurlLibrary> library)
        : timeouts_(timeouts), library_(std::move(library)) {}

    bool Supports(Protocol) const override { return true; }

    OpenedSession Open(const SessionTarget& target, EventWait& wait) override {
        const CurlApi* curl = library_->Api();
        if (curl == nullptr) return Failed(UploadStep::OpenInternet, library_->Error());
        if (HoldsLineBreakOrNul(target.user) || HoldsLineBreakOrNul(target.password)) {
            return Failed(UploadStep::Login, "The user name or password holds NUL, CR or LF.");
        }
        const bool sftp = target.protection.protocol == Protocol::Sftp;
        const auto baseUrl = BaseUrl(*curl, sftp ? "sftp" : "ftp", target.host, target.port);
        if (!baseUrl) return Failed(UploadStep::Login, "The server name is not valid.");
        auto session = std::make_unique<CurlSession>(*curl, wait, *baseUrl, sftp);
        if (!session->Started()) {
            return Failed(UploadStep::Login, "The network library could not start a connection.");
        }
        if (auto failure = session->LogIn(target, timeouts_)) return *std::move(failure);
        return OpenedSession(std::move(session));
    }

    PublicAddressAnswer LookUpPublicAddress(const AddressService& service,
                                            EventWait& wait) override {
        const CurlApi* curl = library_->Api();
        if (curl == nullptr) return LookupFailure{library_->Error()};
        return AddressQuestion(*curl, wait).Ask(service, timeouts_);
    }

  private:
    Timeouts timeouts_;
    std::shared_ptr<CurlLibrary> library_;
};

}  // namespace

namespace detail {

std::unique_ptr<Uploader> MakeCurlUploader(Timeouts timeouts,
                                           std::vector<std::string> libraryNames) {
    return std::make_unique<CurlUploader>(timeouts,
                                          std::make_shared<CurlLibrary>(std::move(libraryNames)));
}

std::unique_ptr<Uploader> MakeInProcessUploader(Timeouts timeouts) {
    return std::make_unique<CurlUploader>(timeouts, SystemCurlLibrary());
}

}  // namespace detail

}  // namespace orvane::ftp
