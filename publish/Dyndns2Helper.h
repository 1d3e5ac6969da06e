// The dyndns2 target on Linux runs its request in the transfer helper process: the messages the
// program and the helper exchange for it, and the in-process target the helper runs.
#pragma once

#include <memory>
#include <optional>

#include "ftp/TransferChannel.h"
#include "publish/Target.h"

namespace orvane::publish::detail {

// The libcurl target, in this process.
std::unique_ptr<Target> MakeInProcessDyndns2Target(const Dyndns2Settings& settings);

struct Dyndns2Request {
    Dyndns2Settings settings;
    PublishedAddresses now;
};

ftp::Message EncodeDyndns2Request(const Dyndns2Request& request);
std::optional<Dyndns2Request> DecodeDyndns2Request(const ftp::Message& message);

ftp::Message EncodeOutcome(const Outcome& outcome);
std::optional<Outcome> DecodeOutcome(const ftp::Message& message);

}  // namespace orvane::publish::detail
