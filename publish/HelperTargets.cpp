// The dyndns2 and dnsupdate targets the program uses on Linux: each request runs in a transfer
// helper process, so neither libcurl nor ldns is loaded into the long-running program; closing
// kills the helper at once.
#include "publish/HelperTargets.h"

#include <cstdint>
#include <functional>

#include "ftp/TransferHelper.h"

namespace orvane::publish {

namespace detail {

namespace {

// The request's fields before the host names.
constexpr std::size_t kFixedFields = 10;

std::optional<long long> Number(const std::string& text) {
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace

ftp::Message EncodeDyndns2Request(const Dyndns2Request& request) {
    const Dyndns2Settings& s = request.settings;
    ftp::Message message = {
        "dyndns2", s.server,           s.user,           s.password,       s.https ? "1" : "0",
        s.caFile,  s.ipv6 ? "1" : "0", request.now.ipv4, request.now.ipv6, request.now.entryName};
    message.insert(message.end(), s.hostnames.begin(), s.hostnames.end());  // the rest
    return message;
}

std::optional<Dyndns2Request> DecodeDyndns2Request(const ftp::Message& m) {
    if (m.size() < kFixedFields || m[0] != "dyndns2") return std::nullopt;
    Dyndns2Request request;
    request.settings = {m[1],        m[2], m[3],       {m.begin() + kFixedFields, m.end()},
                        m[4] == "1", m[5], m[6] == "1"};
    request.now = {m[7], m[8], m[9]};
    return request;
}

ftp::Message EncodeDnsUpdateRequest(const DnsUpdateRequest& request) {
    const DnsUpdateSettings& s = request.settings;
    return {"dnsupdate",
            s.server,
            s.zone,
            s.hostname,
            std::to_string(s.ttl),
            s.keyName,
            s.keyAlgorithm,
            s.keySecret,
            request.now.ipv4,
            request.now.ipv6,
            request.now.entryName};
}

std::optional<DnsUpdateRequest> DecodeDnsUpdateRequest(const ftp::Message& m) {
    if (m.size() != 11 || m[0] != "dnsupdate") return std::nullopt;
    const auto ttl = Number(m[4]);
    if (!ttl || *ttl < 0 || *ttl > UINT32_MAX) return std::nullopt;
    DnsUpdateRequest request;
    request.settings = {m[1], m[2], m[3], static_cast<uint32_t>(*ttl), m[5], m[6], m[7]};
    request.now = {m[8], m[9], m[10]};
    return request;
}

ftp::Message EncodeOutcome(const Outcome& outcome) {
    return {"outcome", std::to_string(static_cast<int>(outcome.verdict)), outcome.reason,
            std::to_string(outcome.retryAfter.count())};
}

std::optional<Outcome> DecodeOutcome(const ftp::Message& m) {
    if (m.size() != 4 || m[0] != "outcome") return std::nullopt;
    const auto verdict = Number(m[1]);
    const auto retryAfter = Number(m[3]);
    if (!verdict || *verdict < 0 || *verdict > static_cast<int>(Verdict::Stopped) || !retryAfter ||
        *retryAfter < 0) {
        return std::nullopt;
    }
    return Outcome{static_cast<Verdict>(*verdict), m[2], std::chrono::seconds(*retryAfter)};
}

}  // namespace detail

namespace {

// A target whose every request is one message to a new helper, answered with its outcome.
class HelperTarget final : public Target {
  public:
    using Encoder = std::function<ftp::Message(const PublishedAddresses& now)>;

    HelperTarget(Encoder encode, std::string helperPath)
        : encode_(std::move(encode)), helperPath_(std::move(helperPath)) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses&,
                    EventWait& wait) override {
        std::string error;
        auto helper = ftp::TransferHelper::Start(helperPath_, error);
        if (!helper) return Failure(error);
        const auto reply = helper->Ask(encode_(now), wait);
        using Status = ftp::TransferHelper::Status;
        if (reply.status == Status::Cancelled) return Failure("cancelled: the program is closing");
        if (reply.status == Status::Broken) return Failure("the request failed: " + reply.error);
        if (auto outcome = detail::DecodeOutcome(reply.message)) return *std::move(outcome);
        return Failure("the request failed: the transfer helper answered something unexpected");
    }

  private:
    static Outcome Failure(std::string reason) { return {Verdict::Failed, std::move(reason), {}}; }

    Encoder encode_;
    std::string helperPath_;
};

}  // namespace

std::unique_ptr<Target> MakeDyndns2Target(const Dyndns2Settings& settings) {
    return std::make_unique<HelperTarget>(
        [settings](const PublishedAddresses& now) {
            return detail::EncodeDyndns2Request({settings, now});
        },
        ftp::TransferHelperPath());
}

bool DnsUpdateAvailable() { return true; }

std::unique_ptr<Target> MakeDnsUpdateTarget(const DnsUpdateSettings& settings) {
    return std::make_unique<HelperTarget>(
        [settings](const PublishedAddresses& now) {
            return detail::EncodeDnsUpdateRequest({settings, now});
        },
        ftp::TransferHelperPath());
}

}  // namespace orvane::publish
