// libcurl loaded at run time on first use, and the table of the entry points the FTP client calls.
#pragma once

// Types and constants only: no function declared here is linked, each is called through CurlApi.
#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvane::ftp {

// Every libcurl function the client calls, one line each; the member carries the function's name
// without "curl_" and its exact type.
#define ORVANE_CURL_ENTRY_POINTS(ENTRY) \
    ENTRY(global_init)                  \
    ENTRY(free)                         \
    ENTRY(url)                          \
    ENTRY(url_set)                      \
    ENTRY(url_get)                      \
    ENTRY(url_cleanup)                  \
    ENTRY(easy_init)                    \
    ENTRY(easy_setopt)                  \
    ENTRY(easy_getinfo)                 \
    ENTRY(easy_strerror)                \
    ENTRY(easy_cleanup)                 \
    ENTRY(multi_init)                   \
    ENTRY(multi_add_handle)             \
    ENTRY(multi_remove_handle)          \
    ENTRY(multi_perform)                \
    ENTRY(multi_poll)                   \
    ENTRY(multi_info_read)              \
    ENTRY(multi_cleanup)

struct CurlApi {
#define ORVANE_CURL_SLOT(name) decltype(&::curl_##name) name = nullptr;
    ORVANE_CURL_ENTRY_POINTS(ORVANE_CURL_SLOT)
#undef ORVANE_CURL_SLOT
};

// One libcurl for the process. Loading it costs tens of libraries (TLS, Kerberos, LDAP, SSH),
// so it happens when the first FTP session opens, not when the program starts. Once loaded it
// stays: libcurl's TLS back end keeps process-wide state that must not be unmapped.
class CurlLibrary {
  public:
    // `names` are tried in order with the system's library search; the first that loads is used.
    explicit CurlLibrary(std::vector<std::string> names);
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;

    // On the first call from any thread: loads the library, resolves every entry point and
    // starts libcurl (curl_global_init). The table, or nullptr when any of that failed; the
    // outcome of the first call holds for good.
    const CurlApi* Api();

    // Why Api() gave nullptr, as a sentence for the log and the user.
    std::string Error();

  private:
    void Load();
    bool Open();
    bool Resolve();

    std::vector<std::string> names_;
    std::once_flag once_;
    void* handle_ = nullptr;
    std::string loadedName_;
    CurlApi api_;
    bool ready_ = false;
    std::string error_;
};

// The system's libcurl: "libcurl.so.4", else the unversioned "libcurl.so".
std::shared_ptr<CurlLibrary> SystemCurlLibrary();

}  // namespace orvane::ftp
