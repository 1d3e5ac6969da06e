// SplitServer, FtpUrlPath and the protocol settings: server texts the settings may hold, remote
// names made URL paths, protocol names and host key fingerprints.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ftp/FtpUrl.h"
#include "ftp/Protocol.h"
#include "ftp/PublicAddress.h"
#include "ftp/ServerAddress.h"

namespace orvane::ftp {

void PrintTo(const ServerAddress& a, std::ostream* out) {
    *out << '"' << a.host << "\" port " << a.port << (a.valid ? "" : ", invalid");
}

namespace {

using ::testing::FieldsAre;

TEST(SplitServerTest, GivesHostAndPortOrFlagsTheWholeText) {
    const struct {
        const char* server;
        const char* host;
        uint16_t port;
    } valid[] = {
        {"ftp.example.org", "ftp.example.org", 21},
        {"10.0.0.1:1", "10.0.0.1", 1},
        {"10.0.0.1:65535", "10.0.0.1", 65535},
        {"host:00021", "host", 21},
        {"[::1]:2121", "::1", 2121},
        {"[fe80::1]", "fe80::1", 21},
        {"2001:db8::7", "2001:db8::7", 21},
    };
    for (const auto& c : valid) {
        EXPECT_THAT(SplitServer(c.server), FieldsAre(c.host, c.port, true)) << c.server;
    }
    // A port that is no port: the whole text stays the host, flagged.
    for (const char* server :
         {"host:", "host:0", "host:65536", "host:99999999999999999999", "host:21x", "host:-21",
          "host: 21", ":21", "", "[::1", "[]:21", "[::1]21", "[::1]:", "[::1]:70000"}) {
        EXPECT_THAT(SplitServer(server), FieldsAre(server, 21, false));
    }
    EXPECT_EQ(SplitServer("host", DefaultPort(Protocol::Sftp)).port, 22);
    EXPECT_EQ(SplitServer("[::1]", DefaultPort(Protocol::Sftp)).port, 22);
}

TEST(FtpUrlPathTest, EscapesEachSegmentOrRefusesNamesNoFileCanCarry) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"ip.txt", "ip.txt"},
        {"/pub/ip.txt", "%2Fpub/ip.txt"},
        {"//ip.txt", "%2F/ip.txt"},
        {"a b#c%d?e;f", "a%20b%23c%25d%3Fe%3Bf"},
        {"@:+&=", "%40%3A%2B%26%3D"},
        {"città.txt", "citt%C3%A0.txt"},
        {"../up/./x~_-", "../up/./x~_-"},
        {"tab\there", "tab%09here"},
        {"del\x7F", "del%7F"},
        // No file can carry these names, or they would end the command line.
        {"", std::nullopt},
        {"pub/", std::nullopt},
        {"ip.txt\rDELE x", std::nullopt},
        {std::string("a\0b", 3), std::nullopt},
        {"lf\nonly", std::nullopt},
    };
    for (const auto& [remote, urlPath] : cases) {
        EXPECT_EQ(FtpUrlPath(remote), urlPath) << ::testing::PrintToString(remote);
    }
    // SFTP: an absolute name as it is, a relative one under the login's home.
    EXPECT_EQ(SftpUrlPath("/pub/a b.txt"), "pub/a%20b.txt");
    EXPECT_EQ(SftpUrlPath("pub/ip.txt"), "~/pub/ip.txt");
    EXPECT_EQ(SftpUrlPath("pub/"), std::nullopt);
}

TEST(ProtocolSettingsTest, NamesAndFingerprintsAreReadAsStored) {
    const std::pair<const char*, std::optional<Protocol>> names[] = {
        {"", Protocol::Ftp},      {"ftp", Protocol::Ftp}, {"FTPS", Protocol::Ftps},
        {"sftp", Protocol::Sftp}, {"ftp ", std::nullopt}, {"ftpes", std::nullopt},
        {"scp", std::nullopt}};
    for (const auto& [text, protocol] : names) EXPECT_EQ(ParseProtocol(text), protocol) << text;

    const std::string digest = "RDwj9EFver6SKYnni7wH7GKKMS0mwr8sbzU0N4sWlM4";
    for (const std::string& valid : {"SHA256:" + digest, "SHA256:" + digest + "="})
        EXPECT_TRUE(IsHostKeyFingerprint(valid)) << valid;
    for (const std::string& invalid :
         {digest, "sha256:" + digest, "SHA256:" + digest.substr(1), "SHA256:" + digest + "A",
          "SHA256:" + digest.substr(1) + "!"})
        EXPECT_FALSE(IsHostKeyFingerprint(invalid)) << invalid;
}

// A service's answer gives its address as the whole text, or after "Current IP Address:".
TEST(PublicAddressTest, PlainTextOrThePageElseNothing) {
    const struct {
        std::string answer;
        std::optional<std::string> address;
    } cases[] = {
        {"198.51.100.7", "198.51.100.7"},
        {" 198.51.100.7\r\n", "198.51.100.7"},
        {"<html><body>Current IP Address: 192.0.2.9</body></html>", "192.0.2.9"},
        {"Current IP Address:\t192.0.2.9\n", "192.0.2.9"},
        {"Current IP Address: 192.0.2.999", std::nullopt},
        {"Current IP Address: 192.0.2.9.", std::nullopt},
        {"Current IP Address: ", std::nullopt},
        {"Your address is 192.0.2.9", std::nullopt},
        {"2001:db8::1", std::nullopt},
        {"198.51.100.7 198.51.100.8", std::nullopt},
        {"", std::nullopt},
        {std::string(kLargestAddressAnswer, ' ') + "198.51.100.7", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParsePublicAddress(c.answer), c.address) << c.answer;
}

}  // namespace
}  // namespace orvane::ftp
