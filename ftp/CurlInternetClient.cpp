// The internet client on libcurl: one connection per login (FTP, FTP over TLS or SFTP), kept for
// its uploads. libcurl is loaded when the first session opens and called through its table of
// entry points. Every wait serves the program's event loop and ends when the program closes.
#include "ftp/CurlInternetClient.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>

#include "ftp/CurlLibrary.h"
#include "ftp/FtpUrl.h"

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
// every wait, they are checked on each step; between steps the event loop is served, so the
// window stays alive and a close is seen within a step.
constexpr int kPollStepMs = 50;

constexpr const char* kCancelled = "The transfer was cancelled: the program is closing.";

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

// An SSH host key is accepted only when the known hosts file holds it for this host: an unknown
// key is refused like a changed one, and the file is never written.
int AcceptOnlyKnownKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void*) {
    return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
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
        Connection connection{internet, MultiHandle(curl_->multi_init(), MultiDeleter{curl_}),
                              EasyHandle(curl_->easy_init(), EasyDeleter{curl_}), *baseUrl, sftp};
        if (!connection.multi || !connection.easy) {
            return Fail("The network library could not start a connection.");
        }
        SetConnectionOptions(connection.easy.get(), *baseUrl, user, password);
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
        if (connections_.erase(handle) != 0) return true;
        if (roots_.erase(handle) == 0) return Fail("Not an open handle.");
        std::erase_if(connections_,
                      [handle](const auto& entry) { return entry.second.root == handle; });
        return true;
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
    // multi handle goes last; closing it sends QUIT.
    struct Connection {
        HINTERNET root;
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

    void SetConnectionOptions(CURL* easy, const std::string& baseUrl, const std::string& user,
                              const std::string& password) const {
        curl_->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
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
        curl_->easy_setopt(easy, CURLOPT_SSH_KNOWNHOSTS, knownHosts->c_str());
        curl_->easy_setopt(easy, CURLOPT_SSH_KEYFUNCTION, AcceptOnlyKnownKey);
        return true;
    }

    // A transfer without a body on the login directory: curl connects, logs in and stops. The
    // control connection stays open in the handle for the uploads that follow.
    bool LogIn(Connection& connection) {
        CURL* easy = connection.easy.get();
        curl_->easy_setopt(easy, CURLOPT_NOBODY, 1L);
        const CURLcode code = Perform(connection);
        if (code == CURLE_ABORTED_BY_CALLBACK) return Fail(kCancelled);
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
    // program's closing stops is CURLE_ABORTED_BY_CALLBACK; taking it off the multi handle
    // unfinished drops its connection without a goodbye the server might never answer.
    CURLcode Perform(Connection& connection) const {
        CURLM* multi = connection.multi.get();
        CURL* easy = connection.easy.get();
        if (curl_->multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
        int running = 1;
        CURLMcode state = curl_->multi_perform(multi, &running);
        while (state == CURLM_OK && running != 0) {
            state = curl_->multi_poll(multi, nullptr, 0, kPollStepMs, nullptr);
            if (wait_ != nullptr) {
                wait_->WaitForEvents(std::chrono::milliseconds(0));
                if (wait_->StopRequested()) {
                    curl_->multi_remove_handle(multi, easy);
                    return CURLE_ABORTED_BY_CALLBACK;
                }
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
