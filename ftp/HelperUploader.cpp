// The uploader the program uses on Linux: every session and public-address question is carried
// out by a transfer helper process running the libcurl uploader, one helper per session or
// question, so libcurl is never loaded into the long-running program.
#include <variant>

#include "ftp/CurlUploader.h"
#include "ftp/TransferHelper.h"

namespace orvane::ftp {

namespace {

constexpr const char* kCancelled = "The transfer was cancelled: the program is closing.";

std::string Milliseconds(std::chrono::milliseconds duration) {
    return std::to_string(duration.count());
}

UploadFailure Failed(UploadStep step, std::string reason) { return {step, std::move(reason)}; }

// A "failed" reply's step and reason, or what was wrong with the reply, at `step`.
UploadFailure FailureIn(const TransferHelper::Reply& reply, UploadStep step) {
    using Status = TransferHelper::Status;
    if (reply.status == Status::Cancelled) return Failed(step, kCancelled);
    if (reply.status == Status::Broken) return Failed(step, "The transfer failed: " + reply.error);
    const Message& m = reply.message;
    if (m.size() == 3 && m[0] == "failed" && (m[1] == "1" || m[1] == "2" || m[1] == "3")) {
        return Failed(static_cast<UploadStep>(std::stoi(m[1])), m[2]);
    }
    return Failed(step, "The transfer failed: the transfer helper answered something unexpected");
}

class HelperSession final : public UploadSession {
  public:
    HelperSession(std::unique_ptr<TransferHelper> helper, EventWait& wait)
        : helper_(std::move(helper)), wait_(wait) {}

    // Says goodbye through the helper unless the program is closing; the helper then goes.
    ~HelperSession() override {
        if (!wait_.StopRequested()) helper_->Ask({"close"}, wait_);
    }

    std::optional<UploadFailure> Put(const std::string& localFile,
                                     const std::string& remotePath) override {
        const auto reply = helper_->Ask({"put", localFile, remotePath}, wait_);
        if (reply.status == TransferHelper::Status::Answered && reply.message == Message{"stored"})
            return std::nullopt;
        return FailureIn(reply, UploadStep::Store);
    }

  private:
    std::unique_ptr<TransferHelper> helper_;
    EventWait& wait_;
};

class HelperUploader final : public Uploader {
  public:
    HelperUploader(Timeouts timeouts, std::string helperPath)
        : timeouts_(timeouts), helperPath_(std::move(helperPath)) {}

    bool Supports(Protocol) const override { return true; }

    OpenedSession Open(const SessionTarget& target, EventWait& wait) override {
        std::string error;
        auto helper = TransferHelper::Start(helperPath_, error);
        if (!helper) return Failed(UploadStep::OpenInternet, error);
        const Protection& protection = target.protection;
        const auto reply = helper->Ask(
            WithTimeouts({"open", target.host, std::to_string(target.port), target.user,
                          target.password, std::string(ProtocolName(protection.protocol)),
                          protection.caFile, protection.hostKey}),
            wait);
        if (reply.status == TransferHelper::Status::Answered && reply.message == Message{"opened"})
            return std::make_unique<HelperSession>(std::move(helper), wait);
        return FailureIn(reply, UploadStep::Login);
    }

    PublicAddressAnswer LookUpPublicAddress(const AddressService& service,
                                            EventWait& wait) override {
        std::string error;
        auto helper = TransferHelper::Start(helperPath_, error);
        if (!helper) return LookupFailure{error};
        const auto reply = helper->Ask(WithTimeouts({"lookup", service.url, service.caFile}), wait);
        const Message& m = reply.message;
        using Status = TransferHelper::Status;
        if (reply.status == Status::Cancelled) return LookupFailure{kCancelled};
        if (reply.status == Status::Broken)
            return LookupFailure{"The lookup failed: " + reply.error};
        if (m.size() == 2 && m[0] == "address") return m[1];
        if (m.size() == 2 && m[0] == "nolookup") return LookupFailure{m[1]};
        return LookupFailure{
            "The lookup failed: the transfer helper answered something unexpected"};
    }

  private:
    Message WithTimeouts(Message request) const {
        for (const auto bound : {timeouts_.connect, timeouts_.stall, timeouts_.lookup}) {
            request.push_back(Milliseconds(bound));
        }
        return request;
    }

    Timeouts timeouts_;
    std::string helperPath_;
};

}  // namespace

namespace detail {

std::unique_ptr<Uploader> MakeHelperUploader(Timeouts timeouts, std::string helperPath) {
    return std::make_unique<HelperUploader>(timeouts, std::move(helperPath));
}

}  // namespace detail

std::unique_ptr<Uploader> MakeSystemUploader(Timeouts timeouts) {
    return detail::MakeHelperUploader(timeouts, TransferHelperPath());
}

}  // namespace orvane::ftp
