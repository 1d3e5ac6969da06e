// The dnsupdate target: a DNS UPDATE (RFC 2136) to the zone's primary server, signed with a TSIG
// key. ldns builds, signs and reads the messages; they travel over a non-blocking socket of our
// own, so every wait is spent in the program's event loop and ends at once when it closes.
// clang-format off
// Before ldns: its headers make bool, true and false macros unless <stdbool.h> came first.
#include <stdbool.h>
#include <ldns/ldns.h>
// clang-format on
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <utility>
#include <variant>

#include "publish/HelperTargets.h"
#include "publish/Target.h"

namespace orvane::publish {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A lost datagram is sent again; an answer too big for one goes over TCP. Each bound is short:
// the server is the user's own, a few hops away at most.
constexpr int kUdpTries = 3;
constexpr milliseconds kUdpTryTime{2000};
constexpr milliseconds kTcpTime{5000};
constexpr milliseconds kPollStep{50};
constexpr uint16_t kFudgeSeconds = 300;
constexpr uint16_t kDnsPort = 53;

struct PktFree {
    void operator()(ldns_pkt* pkt) const { ldns_pkt_free(pkt); }
};
struct RrListFree {
    void operator()(ldns_rr_list* list) const { ldns_rr_list_deep_free(list); }
};
struct RdfFree {
    void operator()(ldns_rdf* rdf) const { ldns_rdf_deep_free(rdf); }
};
using Packet = std::unique_ptr<ldns_pkt, PktFree>;
using RrList = std::unique_ptr<ldns_rr_list, RrListFree>;
using Name = std::unique_ptr<ldns_rdf, RdfFree>;

struct Socket {
    int fd = -1;
    explicit Socket(int descriptor) : fd(descriptor) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd >= 0) close(fd);
    }
};

struct ServerAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// A failure that the next cycle may not see again, or a refusal that only new settings mend.
Outcome Failure(std::string reason) { return {Verdict::Failed, std::move(reason), {}}; }
Outcome Refusal(std::string reason) { return {Verdict::Stopped, std::move(reason), {}}; }

std::optional<uint16_t> PortNumber(std::string_view text) {
    unsigned port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(port);
}

// SERVER is an address, IPv4 or IPv6, with an optional port: "192.0.2.1", "192.0.2.1:5353",
// "2001:db8::1", "[2001:db8::1]:5353". A name is not looked up: the lookup could not be bounded
// or cancelled, and the name may well live in the very zone this target keeps.
std::optional<ServerAddress> ParseServer(const std::string& text) {
    std::string host = text;
    std::optional<uint16_t> port = kDnsPort;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) port = rest.front() == ':' ? PortNumber(rest.substr(1)) : std::nullopt;
    } else if (const size_t colon = text.find(':');
               colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        host = text.substr(0, colon);
        port = PortNumber(std::string_view(text).substr(colon + 1));
    }
    if (!port) return std::nullopt;
    ServerAddress server;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&server.address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&server.address);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(*port);
        server.length = sizeof *v4;
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(*port);
        server.length = sizeof *v6;
    } else {
        return std::nullopt;
    }
    return server;
}

// The TSIG algorithm names as ldns spells them, by the names keys are usually written with, in
// any case.
std::optional<const char*> AlgorithmName(std::string name) {
    if (!name.empty() && name.back() == '.') name.pop_back();
    for (char& letter : name)
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    static constexpr std::pair<const char*, const char*> kNames[] = {
        {"hmac-md5", "hmac-md5.sig-alg.reg.int."},
        {"hmac-md5.sig-alg.reg.int", "hmac-md5.sig-alg.reg.int."},
        {"hmac-sha1", "hmac-sha1."},
        {"hmac-sha224", "hmac-sha224."},
        {"hmac-sha256", "hmac-sha256."},
        {"hmac-sha384", "hmac-sha384."},
        {"hmac-sha512", "hmac-sha512."}};
    for (const auto& [written, spelled] : kNames) {
        if (name == written) return spelled;
    }
    return std::nullopt;
}

Name DomainName(const std::string& text) {
    if (text.empty()) return nullptr;
    return Name(ldns_dname_new_frm_str(text.c_str()));
}

// "Delete every record of this type at the name" (class ANY, no data), then the new record.
bool AddReplacement(ldns_rr_list* updates, const ldns_rdf* owner, ldns_rr_type type,
                    ldns_rdf_type dataType, const std::string& address, uint32_t ttl) {
    ldns_rdf* data = ldns_rdf_new_frm_str(dataType, address.c_str());
    if (!data) return false;
    ldns_rr* removal = ldns_rr_new();
    ldns_rr_set_owner(removal, ldns_rdf_clone(owner));
    ldns_rr_set_type(removal, type);
    ldns_rr_set_class(removal, LDNS_RR_CLASS_ANY);
    ldns_rr_set_ttl(removal, 0);
    ldns_rr_list_push_rr(updates, removal);
    ldns_rr* addition = ldns_rr_new();
    ldns_rr_set_owner(addition, ldns_rdf_clone(owner));
    ldns_rr_set_type(addition, type);
    ldns_rr_set_class(addition, LDNS_RR_CLASS_IN);
    ldns_rr_set_ttl(addition, ttl);
    ldns_rr_push_rdf(addition, data);
    ldns_rr_list_push_rr(updates, addition);
    return true;
}

// The update, signed: A replaced, and AAAA too when the link has an IPv6 address (left alone
// otherwise). Either the packet or why none could be made.
std::variant<Packet, Outcome> SignedUpdate(const DnsUpdateSettings& settings,
                                           const PublishedAddresses& now) {
    Name zone = DomainName(settings.zone);
    const Name host = DomainName(settings.hostname);
    if (!zone) return Refusal("ZONE is not a valid domain name");
    if (!host) return Refusal("HOSTNAME is not a valid domain name");
    if (ldns_dname_compare(host.get(), zone.get()) != 0 &&
        !ldns_dname_is_subdomain(host.get(), zone.get())) {
        return Refusal("HOSTNAME " + settings.hostname + " is not in ZONE " + settings.zone);
    }
    const auto algorithm = AlgorithmName(settings.keyAlgorithm);
    if (!algorithm) return Refusal("KEYALGORITHM " + settings.keyAlgorithm + " is not supported");
    if (!DomainName(settings.keyName)) return Refusal("KEYNAME is not a valid key name");
    RrList updates(ldns_rr_list_new());
    if (!AddReplacement(updates.get(), host.get(), LDNS_RR_TYPE_A, LDNS_RDF_TYPE_A, now.ipv4,
                        settings.ttl)) {
        return Failure("the address " + now.ipv4 + " is not an IPv4 address");
    }
    if (!now.ipv6.empty() && !AddReplacement(updates.get(), host.get(), LDNS_RR_TYPE_AAAA,
                                             LDNS_RDF_TYPE_AAAA, now.ipv6, settings.ttl)) {
        return Failure("the address " + now.ipv6 + " is not an IPv6 address");
    }
    Packet update(
        ldns_update_pkt_new(zone.release(), LDNS_RR_CLASS_IN, nullptr, updates.get(), nullptr));
    if (!update) return Failure("the DNS update could not be made");
    ldns_pkt_set_rd(update.get(), false);
    ldns_pkt_set_random_id(update.get());
    // The secret stays out of every text: ldns's own status says only what went wrong.
    if (ldns_pkt_tsig_sign(update.get(), settings.keyName.c_str(), settings.keySecret.c_str(),
                           kFudgeSeconds, *algorithm, nullptr) != LDNS_STATUS_OK) {
        return Refusal("the update could not be signed: KEYSECRET is not a valid base64 key");
    }
    return update;
}

// Waits until `fd` is ready for `events`, serving the event loop meanwhile. Nothing when it is;
// otherwise why not (the deadline passed, the program is closing).
std::optional<std::string> WaitUntilReady(int fd, short events, Clock::time_point deadline,
                                          EventWait& wait) {
    for (;;) {
        if (wait.StopRequested()) return "the update was cancelled: the program is closing";
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return "the server did not answer in time";
        pollfd ready{fd, events, 0};
        const int step = static_cast<int>(std::min(left, kPollStep).count());
        if (poll(&ready, 1, step) > 0) return std::nullopt;
        wait.WaitForEvents(milliseconds(0));
    }
}

std::string SocketError(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

using Answer = std::variant<std::vector<uint8_t>, std::string>;  // the answer's bytes, or why none

bool AnswersQuery(const std::vector<uint8_t>& bytes, uint16_t id) {
    return bytes.size() >= LDNS_HEADER_SIZE && LDNS_QR_WIRE(bytes.data()) &&
           LDNS_ID_WIRE(bytes.data()) == id;
}

// Over UDP: the query sent again after each quiet spell; only an answer to it counts.
Answer ExchangeOverUdp(const ServerAddress& server, const std::vector<uint8_t>& query, uint16_t id,
                       EventWait& wait) {
    const Socket socket(
        ::socket(server.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.fd < 0) return SocketError("no UDP socket", errno);
    if (connect(socket.fd, reinterpret_cast<const sockaddr*>(&server.address), server.length) !=
        0) {
        return SocketError("the server cannot be reached", errno);
    }
    std::vector<uint8_t> bytes(65535);
    for (int attempt = 0; attempt < kUdpTries; ++attempt) {
        if (send(socket.fd, query.data(), query.size(), 0) < 0) {
            return SocketError("the update could not be sent", errno);
        }
        const auto deadline = Clock::now() + kUdpTryTime;
        while (!WaitUntilReady(socket.fd, POLLIN, deadline, wait)) {
            const ssize_t got = recv(socket.fd, bytes.data(), bytes.size(), 0);
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                return SocketError("no answer from the server", errno);
            }
            if (got < 0) continue;
            std::vector<uint8_t> answer(bytes.begin(), bytes.begin() + got);
            if (AnswersQuery(answer, id)) return answer;
        }
        if (wait.StopRequested()) return "the update was cancelled: the program is closing";
    }
    return "the server did not answer in time";
}

// Sends or receives all of `bytes` on a non-blocking stream before `deadline`.
std::optional<std::string> Transfer(int fd, uint8_t* bytes, size_t size, bool sending,
                                    Clock::time_point deadline, EventWait& wait) {
    size_t done = 0;
    while (done < size) {
        if (auto why = WaitUntilReady(fd, sending ? POLLOUT : POLLIN, deadline, wait)) return why;
        const ssize_t moved = sending ? send(fd, bytes + done, size - done, MSG_NOSIGNAL)
                                      : recv(fd, bytes + done, size - done, 0);
        if (moved == 0) return "the server closed the connection";
        if (moved < 0 && errno != EAGAIN && errno != EINTR) {
            return SocketError("the TCP exchange failed", errno);
        }
        if (moved > 0) done += static_cast<size_t>(moved);
    }
    return std::nullopt;
}

// Over TCP, each message after its two-byte length, as DNS over TCP frames them.
Answer ExchangeOverTcp(const ServerAddress& server, const std::vector<uint8_t>& query, uint16_t id,
                       EventWait& wait) {
    const auto deadline = Clock::now() + kTcpTime;
    const Socket socket(
        ::socket(server.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.fd < 0) return SocketError("no TCP socket", errno);
    if (connect(socket.fd, reinterpret_cast<const sockaddr*>(&server.address), server.length) !=
            0 &&
        errno != EINPROGRESS) {
        return SocketError("the server cannot be reached over TCP", errno);
    }
    std::vector<uint8_t> framed{static_cast<uint8_t>(query.size() >> 8),
                                static_cast<uint8_t>(query.size() & 0xff)};
    framed.insert(framed.end(), query.begin(), query.end());
    std::array<uint8_t, 2> length{};
    if (auto why = Transfer(socket.fd, framed.data(), framed.size(), true, deadline, wait))
        return *why;
    if (auto why = Transfer(socket.fd, length.data(), length.size(), false, deadline, wait))
        return *why;
    std::vector<uint8_t> answer(static_cast<size_t>(length[0] << 8 | length[1]));
    if (auto why = Transfer(socket.fd, answer.data(), answer.size(), false, deadline, wait))
        return *why;
    if (!AnswersQuery(answer, id))
        return "the server's answer over TCP is not an answer to the update";
    return answer;
}

constexpr uint16_t kBadTime = 18;

std::string TsigErrorName(uint16_t error) {
    switch (error) {
        case 16: return "BADSIG";
        case 17: return "BADKEY";
        case kBadTime: return "BADTIME";
        case 21: return "BADALG";
        case 22: return "BADTRUNC";
        default: return std::to_string(error);
    }
}

std::string RcodeName(ldns_pkt_rcode rcode) {
    const ldns_lookup_table* entry = ldns_lookup_by_id(ldns_rcodes, rcode);
    return entry ? entry->name : "RCODE " + std::to_string(rcode);
}

// The TSIG error the server put in its answer; 0 when it put none.
uint16_t TsigError(const ldns_pkt* answer) {
    const ldns_rr* tsig = ldns_pkt_tsig(answer);
    if (!tsig || ldns_rr_rd_count(tsig) < 6) return 0;
    return ldns_rdf2native_int16(ldns_rr_rdf(tsig, 5));
}

// What the server's answer means for this target. A refusal of the key, the zone or the name
// holds until the settings change, but only when the server surely said it: signed with the key,
// or a complaint about the key itself, which the server cannot sign. Anything else may pass by
// the next cycle.
Outcome Judge(const std::vector<uint8_t>& bytes, ldns_pkt* answer,
              const DnsUpdateSettings& settings, const ldns_rdf* queryMac) {
    const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(answer);
    const uint16_t tsigError = TsigError(answer);
    const bool signedByKey =
        ldns_pkt_tsig_verify(answer, bytes.data(), bytes.size(), settings.keyName.c_str(),
                             settings.keySecret.c_str(), queryMac);
    std::string said = "the server answered " + RcodeName(rcode);
    if (tsigError != 0) said += " (" + TsigErrorName(tsigError) + ")";
    if (!signedByKey && tsigError == 0) {
        return Failure(said + ", but the answer is not signed with the key");
    }
    switch (rcode) {
        case LDNS_RCODE_NOERROR: return {Verdict::Accepted, "", {}};
        case LDNS_RCODE_NOTAUTH:
            if (tsigError == kBadTime) return Failure(said + ": the clocks differ too much");
            if (tsigError != 0) return Refusal(said + ": the server does not accept the key");
            return Refusal(said + ": the server is not the primary of " + settings.zone);
        case LDNS_RCODE_REFUSED:
            return Refusal(said + ": this key may not update " + settings.hostname);
        case LDNS_RCODE_NOTZONE:
            return Refusal(said + ": " + settings.hostname + " is not in " + settings.zone);
        default: return Failure(said);
    }
}

std::string ServerName(const DnsUpdateSettings& settings) {
    return "DNS server " + settings.server + ": ";
}

class DnsUpdateTarget final : public Target {
  public:
    explicit DnsUpdateTarget(DnsUpdateSettings settings) : settings_(std::move(settings)) {}

    Outcome Publish(const PublishedAddresses& now, const PublishedAddresses&,
                    EventWait& wait) override {
        Outcome outcome = Send(now, wait);
        if (outcome.verdict != Verdict::Accepted)
            outcome.reason = ServerName(settings_) + outcome.reason;
        return outcome;
    }

  private:
    Outcome Send(const PublishedAddresses& now, EventWait& wait) const {
        const auto server = ParseServer(settings_.server);
        if (!server) return Refusal("SERVER must be an IP address, with an optional :port");
        auto made = SignedUpdate(settings_, now);
        if (auto* failure = std::get_if<Outcome>(&made)) return *failure;
        const Packet update = std::move(std::get<Packet>(made));
        uint8_t* wire = nullptr;
        size_t size = 0;
        if (ldns_pkt2wire(&wire, update.get(), &size) != LDNS_STATUS_OK) {
            return Failure("the DNS update could not be made");
        }
        const std::vector<uint8_t> query(wire, wire + size);
        free(wire);
        const uint16_t id = ldns_pkt_id(update.get());
        Answer answer = ExchangeOverUdp(*server, query, id, wait);
        if (auto* bytes = std::get_if<std::vector<uint8_t>>(&answer);
            bytes && LDNS_TC_WIRE(bytes->data())) {
            answer = ExchangeOverTcp(*server, query, id, wait);
        }
        if (auto* why = std::get_if<std::string>(&answer)) return Failure(*why);
        const auto& bytes = std::get<std::vector<uint8_t>>(answer);
        ldns_pkt* parsed = nullptr;
        if (ldns_wire2pkt(&parsed, bytes.data(), bytes.size()) != LDNS_STATUS_OK) {
            return Failure("the server's answer could not be read");
        }
        const Packet reply(parsed);
        const ldns_rr* tsig = ldns_pkt_tsig(update.get());
        return Judge(bytes, reply.get(), settings_, ldns_rr_rdf(tsig, 3));
    }

    DnsUpdateSettings settings_;
};

}  // namespace

std::unique_ptr<Target> detail::MakeInProcessDnsUpdateTarget(const DnsUpdateSettings& settings) {
    return std::make_unique<DnsUpdateTarget>(settings);
}

}  // namespace orvane::publish
