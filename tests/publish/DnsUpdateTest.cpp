// The dnsupdate target against a real BIND 9 in a private network namespace: a zone that takes
// updates signed with its keys, and servers that never answer.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "publish/HelperTargets.h"
#include "publish/Target.h"
#include "support/PrivateNamespaces.h"
#include "support/SleepingWait.h"

namespace orvane::publish {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNamed = "/usr/sbin/named";
constexpr const char* kDig = "/usr/bin/dig";
constexpr const char* kPort = "5300";
constexpr const char* kServer = "127.0.0.1:5300";
constexpr const char* kSilentServer = "127.0.0.1:5301";
constexpr const char* kForgingServer = "127.0.0.1:5302";
constexpr const char* kTruncatingServer = "127.0.0.1:5303";
// Keys of the zone, and one it does not know.
constexpr const char* kSecret = "b3J2YW5lLXRlc3Qta2V5LWZvci1leGFtcGxlLXRlc3Q=";
constexpr const char* kSecret512 =
    "b3J2YW5lLXNoYTUxMi1rZXktZm9yLWV4YW1wbGUtdGVzdC1tb3JlLWJ5dGVzLWhlcmU=";
constexpr const char* kWrongSecret = "d3Jvbmctc2VjcmV0LW9mLXRoZS1yaWdodC1sZW5ndGg=";

// A primary server for example.test that listens on loopback and takes updates signed by
// "orvane" (hmac-sha256) or "orvane512" (hmac-sha512).
void StartNamed(const fs::path& scratch) {
    std::ofstream(scratch / "example.test.zone")
        << "$TTL 300\n@ IN SOA ns.example.test. admin.example.test. 1 3600 600 86400 300\n"
           "@ IN NS ns.example.test.\nns IN A 192.0.2.53\n";
    const std::string dir = scratch.string();
    std::ofstream(scratch / "named.conf")
        << "options { directory \"" << dir << "\"; listen-on port " << kPort
        << " { 127.0.0.1; }; listen-on-v6 { none; }; pid-file \"" << dir
        << "/named.pid\"; session-keyfile \"" << dir << "/session.key\"; managed-keys-directory \""
        << dir << "\"; recursion no; dnssec-validation no; };\ncontrols { };\n"
        << "key \"orvane\" { algorithm hmac-sha256; secret \"" << kSecret << "\"; };\n"
        << "key \"orvane512\" { algorithm hmac-sha512; secret \"" << kSecret512 << "\"; };\n"
        << "zone \"example.test\" { type primary; file \"" << dir
        << "/example.test.zone\"; allow-update { key \"orvane\"; key \"orvane512\"; }; };\n";
    const std::string command = "ip link set lo up && " + std::string(kNamed) + " -g -c " + dir +
                                "/named.conf >" + dir + "/named.log 2>&1 &";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// What dig answers for the name's records of `type`, one per line, sorted.
std::string Dig(const std::string& type, const std::string& name = "casa.example.test") {
    const std::string command =
        std::string(kDig) + " @127.0.0.1 -p " + kPort + " +short " + type + " " + name + " | sort";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe)) text += buffer.data();
        pclose(pipe);
    }
    return text;
}

// dig +short prints its complaints where the answer would be, so the answer is looked for.
bool NamedAnswers() {
    for (int tries = 0; tries < 100; ++tries) {
        if (Dig("SOA", "example.test").starts_with("ns.example.test.")) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket of `type` bound to loopback's `port` (and listening, for TCP) whose waits end after
// a while, so that a helper thread never outlives its test.
int Server(int type, uint16_t port) {
    const int fd = socket(AF_INET, type, 0);
    const sockaddr_in address = Loopback(port);
    const timeval patience{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (type == SOCK_STREAM) listen(fd, 1);
    return fd;
}

// Answers the first datagram it gets with its header, made an answer with `flags` and `rcode`
// and nothing in its sections unless `whole`; the update's own signature stands in for one of
// the server's, as a forger's would. Where the answer came from, to answer there again.
void AnswerOnce(int udp, unsigned char flags, unsigned char rcode, bool whole) {
    std::array<unsigned char, 4096> message{};
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got = recvfrom(udp, message.data(), message.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 12) return;
    message[2] |= flags;
    message[3] = static_cast<unsigned char>((message[3] & 0xf0) | rcode);
    if (!whole) std::fill(message.begin() + 4, message.begin() + 12, 0);
    sendto(udp, message.data(), whole ? static_cast<size_t>(got) : 12, 0,
           reinterpret_cast<const sockaddr*>(&from), length);
}

// Moves one DNS-over-TCP message (its two-byte length, then itself) from `from` to `to`.
bool MoveFramed(int from, int to) {
    std::array<unsigned char, 2 + 65535> message{};
    if (recv(from, message.data(), 2, MSG_WAITALL) != 2) return false;
    const size_t size = static_cast<size_t>(message[0] << 8 | message[1]);
    if (recv(from, message.data() + 2, size, MSG_WAITALL) != static_cast<ssize_t>(size)) {
        return false;
    }
    return send(to, message.data(), size + 2, MSG_NOSIGNAL) == static_cast<ssize_t>(size + 2);
}

// Says "truncated: ask over TCP" to the first datagram, as a server with a big answer does,
// then relays one exchange over TCP to named.
void TruncateThenRelay(int udp, int listener, uint16_t namedPort) {
    constexpr unsigned char kAnswerTruncated = 0x82;
    AnswerOnce(udp, kAnswerTruncated, 0, false);
    const int client = accept(listener, nullptr, nullptr);
    const int named = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(namedPort);
    if (client >= 0 &&
        connect(named, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        MoveFramed(client, named)) {
        MoveFramed(named, client);
    }
    close(named);
    if (client >= 0) close(client);
}

// The target's settings: by default the zone's own server, name and key.
DnsUpdateSettings Settings(const char* server = kServer, const char* keyName = "orvane",
                           const char* secret = kSecret, const char* zone = "example.test",
                           const char* hostname = "casa.example.test",
                           const char* algorithm = "hmac-sha256") {
    DnsUpdateSettings settings{.server = server,
                               .zone = zone,
                               .hostname = hostname,
                               .keyName = keyName,
                               .keySecret = secret};
    if (*algorithm) settings.keyAlgorithm = algorithm;
    return settings;
}

// A wait that asks to stop after a few steps, as closing the program does.
class ClosingWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        std::this_thread::sleep_for(atMost);
        ++steps_;
    }
    bool StopRequested() const override { return steps_ >= 3; }

  private:
    int steps_ = 0;
};

// Rows run in order against one server, each seeing what the ones before left. A refused
// update changes nothing, nor does an answer without the key's signature; a server that stays
// silent fails within its bound, or at once when the program closes.
TEST(DnsUpdateTarget, UpdatesTheZoneOrSaysWhyNot) {
    if (access(kNamed, X_OK) != 0 || access(kDig, X_OK) != 0) {
        GTEST_SKIP() << "needs BIND 9 (Debian packages bind9 and bind9-dnsutils)";
    }
    test::InPrivateNamespaces([](const fs::path& scratch) {
        StartNamed(scratch);
        ASSERT_TRUE(NamedAnswers()) << "named did not start; see " << scratch / "named.log";
        const int silent = Server(SOCK_DGRAM, 5301);
        const int forging = Server(SOCK_DGRAM, 5302);
        std::thread forger([forging] {
            constexpr unsigned char kAnswer = 0x80, kRefused = 5;
            AnswerOnce(forging, kAnswer, 0, true);
            AnswerOnce(forging, kAnswer, kRefused, true);
        });
        const int truncating = Server(SOCK_DGRAM, 5303), relay = Server(SOCK_STREAM, 5303);
        std::thread relaying([=] { TruncateThenRelay(truncating, relay, 5300); });
        // What the refused and failed rows must leave as it was.
        const char* const kKept = "198.51.100.9\n2001:db8::8\n";
        const struct Row {
            const char* what;
            DnsUpdateSettings settings;
            const char *ipv4, *ipv6;
            Verdict verdict;
            const char* reasonPart;
            const char* records;  // dig's A and AAAA answers afterwards
            bool closing = false;
        } rows[] = {
            {"A only", Settings(), "198.51.100.7", "", Verdict::Accepted, "", "198.51.100.7\n"},
            {"A and AAAA, names written absolute, the default algorithm",
             Settings(kServer, "orvane", kSecret, "example.test.", "casa.example.test.", ""),
             "198.51.100.8", "2001:db8::8", Verdict::Accepted, "", "198.51.100.8\n2001:db8::8\n"},
            {"A replaced, AAAA left alone; the algorithm in any case",
             Settings(kServer, "orvane512", kSecret512, "example.test", "casa.example.test",
                      "HMAC-SHA512"),
             "198.51.100.9", "", Verdict::Accepted, "", kKept},
            {"wrong secret", Settings(kServer, "orvane", kWrongSecret), "198.51.100.10",
             "2001:db8::10", Verdict::Stopped, "NOTAUTH (BADSIG)", kKept},
            {"unknown key", Settings(kServer, "stranger"), "198.51.100.10", "", Verdict::Stopped,
             "NOTAUTH (BADKEY)", kKept},
            {"a zone the server does not hold",
             Settings(kServer, "orvane", kSecret, "other.test", "casa.other.test"), "198.51.100.10",
             "", Verdict::Stopped, "NOTAUTH", kKept},
            {"forged answer", Settings(kForgingServer), "198.51.100.10", "", Verdict::Failed,
             "NOERROR, but the answer is not signed", kKept},
            {"forged refusal", Settings(kForgingServer), "198.51.100.10", "", Verdict::Failed,
             "REFUSED, but the answer is not signed", kKept},
            {"a server named, not an address", Settings("ns.example.test:5300"), "198.51.100.10",
             "", Verdict::Stopped, "must be an IP address", kKept},
            {"nothing listens on the port", Settings("127.0.0.1:5399"), "198.51.100.10", "",
             Verdict::Failed, "refused", kKept},
            {"silent server", Settings(kSilentServer), "198.51.100.10", "", Verdict::Failed,
             "did not answer in time", kKept},
            {"closing while waiting", Settings(kSilentServer), "198.51.100.10", "", Verdict::Failed,
             "cancelled", kKept, true},
            {"a truncated answer: the update again over TCP", Settings(kTruncatingServer),
             "198.51.100.11", "2001:db8::11", Verdict::Accepted, "",
             "198.51.100.11\n2001:db8::11\n"},
        };
        for (const Row& row : rows) {
            const auto target = detail::MakeInProcessDnsUpdateTarget(row.settings);
            testing::SleepingWait sleeping;
            ClosingWait closing;
            const auto start = std::chrono::steady_clock::now();
            const Outcome outcome =
                target->Publish({row.ipv4, row.ipv6, "Ufficio"}, {},
                                row.closing ? static_cast<EventWait&>(closing) : sleeping);
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_EQ(outcome.verdict, row.verdict) << row.what << ": " << outcome.reason;
            EXPECT_NE(outcome.reason.find(row.reasonPart), std::string::npos)
                << row.what << ": " << outcome.reason;
            EXPECT_EQ(outcome.reason.find(row.settings.keySecret), std::string::npos) << row.what;
            EXPECT_LT(took, std::chrono::seconds(row.closing ? 1 : 8)) << row.what;
            EXPECT_EQ(Dig("A") + Dig("AAAA"), row.records) << row.what;
        }
        forger.join();
        relaying.join();
        for (const int fd : {silent, forging, truncating, relay}) close(fd);
    });
}

}  // namespace
}  // namespace orvane::publish
