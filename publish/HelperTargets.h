// The dyndns2 and dnsupdate targets on Linux run their requests in the transfer helper process:
// the messages the program and the helper exchange for them, and the in-process targets the
// helper runs (libcurl's and ldns's, which the long-running program never loads).
#pragma once

#include <memory>
#include <optional>

#include "ftp/TransferChannel.h"
#include "publish/Target.h"

namespace orvane::publish::detail {

// The libcurl target, in this process.
std::unique_ptr<Target> MakeInProcessDyndns2Target(const Dyndns2Settings& settings);
// The ldns target, in this process (library orvane_dnsupdate).
std::unique_ptr<Target> MakeInProcessDnsUpdateTarget(const DnsUpdateSettings& settings);

struct Dyndns2Request {
    Dyndns2Settings settings;
    PublishedAddresses now;
};

ftp::Message EncodeDyndns2Request(const Dyndns2Request& request);
std::optional<Dyndns2Request> DecodeDyndns2Request(const ftp::Message& message);

struct DnsUpdateRequest {
    DnsUpdateSettings settings;
    PublishedAddresses now;
};

ftp::Message EncodeDnsUpdateRequest(const DnsUpdateRequest& request);
std::optional<DnsUpdateRequest> DecodeDnsUpdateRequest(const ftp::Message& message);

ftp::Message EncodeOutcome(const Outcome& outcome);
std::optional<Outcome> DecodeOutcome(const ftp::Message& message);

}  // namespace orvane::publish::detail
