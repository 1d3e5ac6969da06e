// Loading libcurl with dlopen and resolving the client's entry points with dlsym, once.
#include "ftp/CurlLibrary.h"

#include <dlfcn.h>

namespace orvane::ftp {

namespace {

constexpr const char* kLoadFailure = "The FTP library could not be loaded: ";

std::string LoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

}  // namespace

CurlLibrary::CurlLibrary(std::vector<std::string> names) : names_(std::move(names)) {}

const CurlApi* CurlLibrary::Api() {
    std::call_once(once_, [this] { Load(); });
    return ready_ ? &api_ : nullptr;
}

std::string CurlLibrary::Error() {
    std::call_once(once_, [this] { Load(); });
    return error_;
}

void CurlLibrary::Load() {
    if (!Open() || !Resolve()) return;
    if (api_.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        error_ = "The network library could not start.";
        return;
    }
    ready_ = true;
}

// RTLD_LOCAL keeps libcurl's symbols, and those of everything it pulls in, out of the way of
// the program's own.
bool CurlLibrary::Open() {
    std::string tried;
    for (const std::string& name : names_) {
        dlerror();
        handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr) {
            loadedName_ = name;
            return true;
        }
        tried += (tried.empty() ? "" : "; ") + LoaderError();
    }
    error_ = kLoadFailure + (tried.empty() ? std::string("no library name to try") : tried) + ".";
    return false;
}

bool CurlLibrary::Resolve() {
    const auto missing = [this](const char* name) {
        error_ = kLoadFailure + loadedName_ + " has no " + name + ".";
        dlclose(handle_);
        handle_ = nullptr;
        api_ = {};
        return false;
    };
#define ORVANE_CURL_RESOLVE(name)                                                     \
    api_.name = reinterpret_cast<decltype(api_.name)>(dlsym(handle_, "curl_" #name)); \
    if (api_.name == nullptr) return missing("curl_" #name);
    ORVANE_CURL_ENTRY_POINTS(ORVANE_CURL_RESOLVE)
#undef ORVANE_CURL_RESOLVE
    return true;
}

std::shared_ptr<CurlLibrary> SystemCurlLibrary() {
    static const auto library =
        std::make_shared<CurlLibrary>(std::vector<std::string>{"libcurl.so.4", "libcurl.so"});
    return library;
}

}  // namespace orvane::ftp
