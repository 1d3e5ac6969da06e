// The transfer helper's main: reads requests from descriptor 3, one at a time, runs each with
// libcurl or ldns in this process and answers it. It ends when the program closes its end of the
// socket or ends itself; the program kills it when it closes mid-request.
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <variant>

#include "ftp/CurlUploader.h"
#include "ftp/TransferChannel.h"
#include "publish/HelperTargets.h"

namespace orvane::ftp {

namespace {

constexpr int kSocket = 3;

// The helper's waits: the request under way gives up once the program's end of the socket has
// gone (or, against the rules, it sends before the reply).
class SocketWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        pollfd ready{kSocket, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(atMost.count())) > 0) stop_ = true;
    }
    bool StopRequested() const override { return stop_; }

  private:
    bool stop_ = false;
};

// A whole decimal number, not negative.
std::optional<long long> Count(const std::string& text) {
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == text.size() && value >= 0) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// The three bounds that end a request, in the order the program sends them.
std::optional<Timeouts> TimeoutsAt(const Message& m, std::size_t at) {
    if (m.size() != at + 3) return std::nullopt;
    const auto connect = Count(m[at]);
    const auto stall = Count(m[at + 1]);
    const auto lookup = Count(m[at + 2]);
    if (!connect || !stall || !lookup) return std::nullopt;
    using std::chrono::milliseconds;
    return Timeouts{milliseconds(*connect), milliseconds(*stall), milliseconds(*lookup)};
}

Message Failed(const UploadFailure& failure) {
    return {"failed", std::to_string(static_cast<int>(failure.step)), failure.reason};
}

class Helper {
  public:
    // The reply to `m`, or nothing for a request this helper does not understand.
    std::optional<Message> Answer(const Message& m) {
        const std::string& verb = m[0];
        if (verb == "open") return Open(m);
        if (verb == "put" && m.size() == 3 && session_) {
            const auto failure = session_->Put(m[1], m[2]);
            return failure ? Failed(*failure) : Message{"stored"};
        }
        if (verb == "close" && m.size() == 1) {
            session_.reset();  // the goodbye
            return Message{"closed"};
        }
        if (verb == "lookup") return LookUp(m);
        if (verb == "dyndns2") return PublishDyndns2(m);
        if (verb == "dnsupdate") return PublishDnsUpdate(m);
        return std::nullopt;
    }

  private:
    std::optional<Message> Open(const Message& m) {
        const auto timeouts = TimeoutsAt(m, 8);
        const auto protocol = timeouts ? ParseProtocol(m[5]) : std::nullopt;
        const auto port = timeouts ? Count(m[2]) : std::nullopt;
        if (!protocol || !port || *port > 65535 || session_) return std::nullopt;
        uploader_ = detail::MakeInProcessUploader(*timeouts);
        const SessionTarget target{
            m[1], static_cast<uint16_t>(*port), m[3], m[4], {*protocol, m[6], m[7]}};
        OpenedSession opened = uploader_->Open(target, wait_);
        if (auto* failure = std::get_if<UploadFailure>(&opened)) return Failed(*failure);
        session_ = std::move(std::get<std::unique_ptr<UploadSession>>(opened));
        return Message{"opened"};
    }

    std::optional<Message> LookUp(const Message& m) {
        const auto timeouts = TimeoutsAt(m, 3);
        if (!timeouts) return std::nullopt;
        const PublicAddressAnswer answer =
            detail::MakeInProcessUploader(*timeouts)->LookUpPublicAddress({m[1], m[2]}, wait_);
        if (const auto* address = std::get_if<std::string>(&answer)) {
            return Message{"address", *address};
        }
        return Message{"nolookup", std::get<LookupFailure>(answer).reason};
    }

    std::optional<Message> PublishDyndns2(const Message& m) {
        const auto request = publish::detail::DecodeDyndns2Request(m);
        if (!request) return std::nullopt;
        const auto target = publish::detail::MakeInProcessDyndns2Target(request->settings);
        return publish::detail::EncodeOutcome(target->Publish(request->now, {}, wait_));
    }

    std::optional<Message> PublishDnsUpdate(const Message& m) {
        const auto request = publish::detail::DecodeDnsUpdateRequest(m);
        if (!request) return std::nullopt;
        const auto target = publish::detail::MakeInProcessDnsUpdateTarget(request->settings);
        return publish::detail::EncodeOutcome(target->Publish(request->now, {}, wait_));
    }

    SocketWait wait_;
    std::unique_ptr<Uploader> uploader_;
    std::unique_ptr<UploadSession> session_;  // goes before the uploader, whose library it uses
};

int Serve() {
    // Ends with the program even if the socket were somehow kept open elsewhere.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    signal(SIGPIPE, SIG_IGN);
    Helper helper;
    while (const auto request = ReceiveMessage(kSocket)) {
        const auto reply = helper.Answer(*request);
        if (!reply || !SendAll(kSocket, EncodeMessage(*reply))) return 2;
    }
    return 0;
}

}  // namespace

}  // namespace orvane::ftp

int main() { return orvane::ftp::Serve(); }
