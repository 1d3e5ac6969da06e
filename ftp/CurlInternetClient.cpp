// The internet client on libcurl: one connection per login (FTP, FTP over TLS or SFTP), kept for
// its uploads. libcurl is loaded when the first session opens and called through its table of
// entry points. Its blocking work runs on a thread of its own while the program's event loop is
// served, and ends at once when the program closes.
#include "ftp/CurlInternetClient.h"

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
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "ftp/CurlLibrary.h"
#include "ftp/FtpUrl.h"
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

// What a connection's callbacks and the thread that runs libcurl share with the event loop's
// thread; it stays in place while the connection moves.
struct Session {
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
                       void* session) {
    if (match != CURLKHMATCH_OK) return CURLKHSTAT_REJECT;
    // The offered key comes as its blob, or as base64 text when its length is 0.
    const std::string key =
        offered->len == 0 ? std::string(offered->key) : Base64({offered->key, offered->len});
    const bool revoked = IsRevokedHostKey(static_cast<Session*>(session)->knownHosts, key);
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

// Handles index tables owned by the client; like the program, it is used from one thread.
// Every connection is direct (no proxy, whatever the access type or the environment says).
class CurlInternetClient final : public InternetClient {
  public:
    CurlInternetClient(Timeouts timeouts, std::shared_ptr<CurlLibrary> library)
        : timeouts_(timeouts), library_(std::move(library)) {}

    HINTERNET InternetOpenA(const std::string& agent, uint32_t, const std::string&,
                            const std::string&, uint32_t) override {
        curl_ = library_->Api();
        if (curl_ == nullptr) return Fail(library_->Error());
        const HINTERNET handle = NewHandle();
        roots_.emplace(handle, Root{agent});
        return handle;
    }

    HINTERNET InternetConnectA(HINTERNET internet, const std::string& server, uint16_t port,
                               const std::string& user, const std::string& password,
                               uint32_t service, uint32_t, uintptr_t) override {
        if (!roots_.contains(internet)) return Fail("Not an open internet handle.");
        if (service != INTERNET_SERVICE_FTP) return Fail("Only FTP is supported.");
        if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
            return Fail("The user name or password holds NUL, CR or LF.");
        }
        const bool sftp = protection_.protocol == Protocol::Sftp;
        const auto baseUrl = BaseUrl(*curl_, sftp ? "sftp" : "ftp", server,
                                     port == 0 ? DefaultPort(protection_.protocol) : port);
        if (!baseUrl) return Fail("The server name is not valid.");
        Connection connection{internet,
                              std::make_unique<Session>(),
                              MultiHandle(curl_->multi_init(), MultiDeleter{curl_}),
                              EasyHandle(curl_->easy_init(), EasyDeleter{curl_}),
                              *baseUrl,
                              sftp};
        if (!connection.multi || !connection.easy) {
            return Fail("The network library could not start a connection.");
        }
        SetConnectionOptions(connection, *baseUrl, user, password);
        if (!SetProtectionOptions(connection) || !LogIn(connection)) return 0;
        const HINTERNET handle = NewHandle();
        connections_.emplace(handle, std::move(connection));
        return handle;
    }

    bool FtpPutFileA(HINTERNET ftp, const std::string& localFile, const std::string& remoteFile,
                     uint32_t, uintptr_t) override {
        const auto found = connections_.find(ftp);
        if (found == connections_.end()) return Fail("Not an open FTP handle.");
        const auto urlPath = found->second.sftp ? SftpUrlPath(remoteFile) : FtpUrlPath(remoteFile);
        if (!urlPath) {
            return Fail("The remote file name is empty, ends in \"/\" or holds NUL, CR or LF.");
        }
        FdCloser file{open(localFile.c_str(), O_RDONLY | O_CLOEXEC)};
        struct stat info {};
        if (file.fd < 0 || fstat(file.fd, &info) != 0) {
            return Fail("Cannot read the local file " + localFile + ": " + std::strerror(errno));
        }
        if (!S_ISREG(info.st_mode)) return Fail("The local file is not a regular file.");
        return Upload(found->second, file.fd, info.st_size, found->second.baseUrl + *urlPath);
    }

    bool InternetCloseHandle(HINTERNET handle) override {
        if (const auto found = connections_.find(handle); found != connections_.end()) {
            Disconnect(found->second);
            connections_.erase(found);
            return true;
        }
        if (roots_.erase(handle) == 0) return Fail("Not an open handle.");
        for (auto entry = connections_.begin(); entry != connections_.end();) {
            if (entry->second.root != handle) {
                ++entry;
                continue;
            }
            Disconnect(entry->second);
            entry = connections_.erase(entry);
        }
        return true;
    }

    // A connection still open when the client goes is dropped without a goodbye.
    ~CurlInternetClient() override {
        for (auto& entry : connections_) entry.second.session->Stop();
    }

    std::string LastErrorText() const override { return lastError_; }

    bool SetProtection(const Protection& protection) override {
        protection_ = protection;
        return true;
    }

    void SetEventWait(EventWait* wait) override { wait_ = wait; }

  private:
    struct Root {
        std::string agent;  // kept as given; FTP has no place to send it
    };
    // The control connection lives in the multi handle's cache between transfers, so the
    // multi handle goes after the easy one; closing it sends QUIT. The session goes last: the
    // handles' callbacks use it until they are gone.
    struct Connection {
        HINTERNET root;
        std::unique_ptr<Session> session;
        MultiHandle multi;
        EasyHandle easy;
        std::string baseUrl;
        bool sftp = false;
    };

    // Handles are never reused, so a stale one is unknown rather than someone else's.
    HINTERNET NewHandle() { return nextHandle_++; }

    HINTERNET Fail(std::string text) {
        lastError_ = std::move(text);
        return 0;
    }

    // The message says what failed in curl's own words and the server's last reply code; it is
    // built from codes only, never from a URL or the credentials.
    HINTERNET FailCurl(std::string_view what, CURL* easy, CURLcode code) {
        long reply = 0;
        curl_->easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
        std::string text = std::string(what) + ": " + curl_->easy_strerror(code) + " (curl " +
                           std::to_string(static_cast<int>(code));
        if (reply != 0) text += ", last server reply " + std::to_string(reply);
        return Fail(text + ").");
    }

    void SetConnectionOptions(Connection& connection, const std::string& baseUrl,
                              const std::string& user, const std::string& password) const {
        CURL* easy = connection.easy.get();
        Session* session = connection.session.get();
        curl_->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_->easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, SessionSockets::Open);
        curl_->easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &session->sockets);
        curl_->easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, SessionSockets::Close);
        curl_->easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &session->sockets);
        curl_->easy_setopt(easy, CURLOPT_ERRORBUFFER, session->errors);
        // A name lookup still under way when a transfer is given up is left to end on its own
        // thread instead of being waited for (it may take the resolver's whole time-out).
        curl_->easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_->easy_setopt(easy, CURLOPT_PROXY,
                           "");  // a direct connection, whatever the environment
        curl_->easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
        curl_->easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        curl_->easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_->easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 1L);
        curl_->easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        // 0 would mean curl's default of minutes, so the shortest bound is 1 ms.
        curl_->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                           std::max(1L, static_cast<long>(timeouts_.connect.count())));
        curl_->easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, CeilSeconds(timeouts_.stall));
        curl_->easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_->easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, CeilSeconds(timeouts_.stall));
        curl_->easy_setopt(easy, CURLOPT_URL, baseUrl.c_str());
    }

    // Plain FTP as it is; FTP with TLS required on the control and data connections, the
    // certificate and name checked; SFTP with the host key checked against the pinned
    // fingerprint or the known hosts, and the password as the only way to log in.
    bool SetProtectionOptions(const Connection& connection) {
        CURL* easy = connection.easy.get();
        const Protection& protection = protection_;
        curl_->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, connection.sftp ? "sftp" : "ftp");
        if (protection.protocol == Protocol::Ftps) {
            curl_->easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            curl_->easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_->easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!protection.caFile.empty()) {
                // Only that file: the system's directory of authorities is not consulted too.
                curl_->easy_setopt(easy, CURLOPT_CAINFO, protection.caFile.c_str());
                curl_->easy_setopt(easy, CURLOPT_CAPATH, nullptr);
            }
        }
        if (!connection.sftp) return true;
        curl_->easy_setopt(easy, CURLOPT_SSH_AUTH_TYPES,
                           static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        if (!protection.hostKey.empty()) {
            if (!IsHostKeyFingerprint(protection.hostKey)) {
                return Fail("The host key fingerprint is not in the form SHA256:<base64>.");
            }
            const std::string digest = protection.hostKey.substr(protection.hostKey.find(':') + 1);
            curl_->easy_setopt(easy, CURLOPT_SSH_HOST_PUBLIC_KEY_SHA256, digest.c_str());
            return true;
        }
        const auto knownHosts = KnownHostsFile();
        if (!knownHosts) return Fail("No home directory, so no known_hosts to check the host key.");
        connection.session->knownHosts = *knownHosts;
        curl_->easy_setopt(easy, CURLOPT_SSH_KNOWNHOSTS, knownHosts->c_str());
        curl_->easy_setopt(easy, CURLOPT_SSH_KEYFUNCTION, AcceptOnlyKnownKey);
        curl_->easy_setopt(easy, CURLOPT_SSH_KEYDATA, connection.session.get());
        return true;
    }

    // A transfer without a body on the login directory: curl connects, logs in and stops. The
    // control connection stays open in the handle for the uploads that follow.
    bool LogIn(Connection& connection) {
        CURL* easy = connection.easy.get();
        curl_->easy_setopt(easy, CURLOPT_NOBODY, 1L);
        const CURLcode code = Perform(connection);
        if (code == CURLE_ABORTED_BY_CALLBACK) return Fail(kCancelled);
        if (code == CURLE_FAILED_INIT && connection.sftp &&
            std::strstr(connection.session->errors, kSshKeyExchangeFailed) != nullptr) {
            return Fail(kRsaOnly);
        }
        if (code != CURLE_OK) return FailCurl("Connecting to the server failed", easy, code);
        return true;
    }

    bool Upload(Connection& connection, int fd, off_t size, const std::string& url) {
        CURL* easy = connection.easy.get();
        int readFd = fd;
        curl_->easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_->easy_setopt(easy, CURLOPT_NOBODY, 0L);
        curl_->easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_->easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
        curl_->easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromFd);
        curl_->easy_setopt(easy, CURLOPT_READDATA, &readFd);
        curl_->easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        const CURLcode code = Perform(connection);
        curl_->easy_setopt(easy, CURLOPT_READDATA, nullptr);
        curl_->easy_setopt(easy, CURLOPT_UPLOAD, 0L);
        if (code == CURLE_ABORTED_BY_CALLBACK) return Fail(kCancelled);
        if (code != CURLE_OK) return FailCurl("Uploading the file failed", easy, code);
        curl_off_t sent = 0;
        curl_->easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        if (sent != size) return Fail("The local file changed while it was being uploaded.");
        return true;
    }

    // One transfer on the connection's handles, to its end; its result. A transfer the
    // program's closing stops is CURLE_ABORTED_BY_CALLBACK.
    CURLcode Perform(Connection& connection) const {
        connection.session->errors[0] = '\0';
        CURLcode result = CURLE_FAILED_INIT;
        const bool stopped =
            RunOffLoop(*connection.session, [&] { result = Transfer(connection); });
        return stopped && result != CURLE_OK ? CURLE_ABORTED_BY_CALLBACK : result;
    }

    // The transfer itself, on the thread that runs libcurl. Taking it off the multi handle
    // unfinished, when the program closes, drops its connection without a goodbye.
    CURLcode Transfer(Connection& connection) const {
        CURLM* multi = connection.multi.get();
        CURL* easy = connection.easy.get();
        if (curl_->multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
        int running = 1;
        CURLMcode state = curl_->multi_perform(multi, &running);
        while (state == CURLM_OK && running != 0) {
            state = curl_->multi_poll(multi, nullptr, 0, kPollStepMs, nullptr);
            if (connection.session->stopping) {
                curl_->multi_remove_handle(multi, easy);
                return CURLE_ABORTED_BY_CALLBACK;
            }
            if (state == CURLM_OK) state = curl_->multi_perform(multi, &running);
        }
        CURLcode result = CURLE_FAILED_INIT;
        int left = 0;
        while (const CURLMsg* message = curl_->multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
            }
        }
        curl_->multi_remove_handle(multi, easy);
        return result;
    }

    // Closes the connection's handles, saying goodbye (QUIT) unless the program is closing.
    void Disconnect(Connection& connection) const {
        if (wait_ != nullptr && wait_->StopRequested()) connection.session->Stop();
        RunOffLoop(*connection.session, [&connection] {
            connection.easy.reset();
            connection.multi.reset();
        });
    }

    // Runs blocking libcurl `work` for a session on a thread of its own while this thread serves
    // the event loop. libcurl waits for some replies (the one after a file's last byte, QUIT's)
    // and for handshakes inside calls that nothing else can interrupt; once the program is
    // closing, the session's sockets are shut down, so that whatever it waits for ends at once.
    // True when closing cut the work short. Without an event wait the work runs here.
    bool RunOffLoop(Session& session, const std::function<void()>& work) const {
        if (wait_ == nullptr) {
            work();
            return false;
        }
        Worker worker(work);
        while (!worker.WaitFor(std::chrono::milliseconds(kPollStepMs))) {
            wait_->WaitForEvents(std::chrono::milliseconds(0));
            if (wait_->StopRequested()) {
                session.Stop();
                return true;  // once the worker has ended, as it soon does
            }
        }
        return false;
    }

    Timeouts timeouts_;
    std::shared_ptr<CurlLibrary> library_;
    const CurlApi* curl_ = nullptr;  // set by the first successful InternetOpenA
    Protection protection_;
    EventWait* wait_ = nullptr;
    std::map<HINTERNET, Root> roots_;
    std::map<HINTERNET, Connection> connections_;
    HINTERNET nextHandle_ = 1;
    std::string lastError_;
};

}  // namespace

namespace detail {

std::unique_ptr<InternetClient> MakeCurlInternetClient(Timeouts timeouts,
                                                       std::vector<std::string> libraryNames) {
    return std::make_unique<CurlInternetClient>(
        timeouts, std::make_shared<CurlLibrary>(std::move(libraryNames)));
}

}  // namespace detail

std::unique_ptr<InternetClient> MakeSystemInternetClient(Timeouts timeouts) {
    return std::make_unique<CurlInternetClient>(timeouts, SystemCurlLibrary());
}

}  // namespace orvane::ftp
