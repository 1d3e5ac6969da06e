// The publication port: a place besides the FTP file where the address is made known (a
// dynamic-DNS provider, the user's own DNS server, a program of the user's). One implementation
// per kind of target, each added as its own file.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/EventWait.h"

namespace orvane::publish {

// What a cycle publishes: the published link's addresses and the entry it was dialled by.
struct PublishedAddresses {
    std::string ipv4;       // dotted
    std::string ipv6;       // a global IPv6 address of the same link; empty when it has none
    std::string entryName;  // the connection's entry name
    bool operator==(const PublishedAddresses&) const = default;
};

enum class Verdict {
    Accepted,    // the target now holds the addresses
    Failed,      // not this time: tried again at the next cycle
    RetryLater,  // the target asked for a pause: not tried again before `retryAfter` has passed
    Stopped,     // the target refuses the account or the name: no more tries until its settings
                 // change
};

struct Outcome {
    Verdict verdict = Verdict::Failed;
    std::string reason;                  // the server's answer or the cause; never a secret
    std::chrono::seconds retryAfter{0};  // RetryLater's least pause
};

class Target {
  public:
    virtual ~Target() = default;

    // Makes `now` known. `previous` is what this target last accepted (empty the first time).
    // Every wait is spent in `wait`; once it asks to stop, the attempt ends at once (Failed).
    virtual Outcome Publish(const PublishedAddresses& now, const PublishedAddresses& previous,
                            EventWait& wait) = 0;
};

// The settings of each kind of target, decoded.
struct Dyndns2Settings {
    std::string server;  // host[:port]
    std::string user;
    std::string password;
    std::vector<std::string> hostnames;
    bool https = true;   // PROTOCOL=http turns it off
    std::string caFile;  // empty: the system's authorities
    bool ipv6 = true;    // IPV6=0 turns it off
};

struct DnsUpdateSettings {
    std::string server;  // host[:port] of the zone's primary server
    std::string zone;
    std::string hostname;
    uint32_t ttl = 60;
    std::string keyName;
    std::string keyAlgorithm = "hmac-sha256";
    std::string keySecret;  // base64
};

struct CommandSettings {
    std::string program;  // an absolute path; run without a shell
};

// The targets of each kind, each made in its own file.
std::unique_ptr<Target> MakeDyndns2Target(const Dyndns2Settings& settings);
std::unique_ptr<Target> MakeCommandTarget(const CommandSettings& settings);
// Whether this platform can send DNS updates; where it cannot, MakeDnsUpdateTarget is not called.
bool DnsUpdateAvailable();
std::unique_ptr<Target> MakeDnsUpdateTarget(const DnsUpdateSettings& settings);

}  // namespace orvane::publish
