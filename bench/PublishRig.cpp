// Setting up fOrvane over the real uploader and the loopback server, and running one cycle.
#include "bench/PublishRig.h"

#include <stdexcept>

namespace orvane::bench {

namespace {
using testing::FakeSupport;
}

PublishRig::PublishRig(const std::string& protocol) {
    testing::FtpServerOptions options;
    options.protocol = protocol;
    options.user = kUser;
    options.password = kPassword;
    server_ = std::make_unique<testing::FtpTestServer>(options);
    uploader_ = ftp::MakeSystemUploader();

    // The shortest interval; the first publish far off, so only the benchmark starts cycles.
    support_.values = {
        {"GENERAL/INTERVAL", "1"},
        {"GENERAL/FIRST", "86400"},
        {"GENERAL/DELAY", "0"},
        {"GENERAL/RASDIAL", ""},
        {"FTP/SERVER", FakeSupport::Encode(server_->address())},
        {"FTP/USER", FakeSupport::Encode(kUser)},
        {"FTP/PATH", FakeSupport::Encode("/")},
        {"FTP/FILE", "ip.txt"},
        {"FTP/PASSWORD", FakeSupport::Encode(kPassword)},
        {"FTP/PROTOCOL", protocol},
        {"FTP/CAFILE", protocol == "ftps" ? (server_->stateDir() / "ca.pem").string() : ""},
    };
    links_.links = {testing::Link("Bench", "10.64.0.2")};
    logic_ = std::make_unique<fOrvane>(window_, support_, links_, *uploader_, clock_,
                                       [this](int status) { fatalStatus_ = status; });
    if (!logic_->Load()) throw std::runtime_error("the window's start-up failed: " + LastError());
}

bool PublishRig::PublishOnce() {
    window_.captions.erase(Control::Label2);
    logic_->PublishNow();
    return fatalStatus_ == 0 && window_.Caption(Control::Label2) == "Online";
}

std::string PublishRig::LastError() const {
    if (!window_.fatalErrors.empty()) return window_.fatalErrors.back();
    return "status caption \"" + window_.Caption(Control::Label2) + "\"";
}

}  // namespace orvane::bench
