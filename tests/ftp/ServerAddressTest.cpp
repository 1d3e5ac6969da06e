// SplitServer: every form of server text the settings may hold.
#include <gtest/gtest.h>

#include "ftp/ServerAddress.h"

namespace orvane::ftp {
namespace {

struct SplitCase {
    const char* server;
    const char* host;
    uint16_t port;
    bool valid;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.server); }

class SplitServerTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitServerTest, GivesHostAndPort) {
    const SplitCase& c = GetParam();
    const ServerAddress address = SplitServer(c.server);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.valid, c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SplitServerTest,
    ::testing::Values(
        // Well formed.
        SplitCase{"ftp.example.org", "ftp.example.org", 21, true},
        SplitCase{"ftp.example.org:2121", "ftp.example.org", 2121, true},
        SplitCase{"10.0.0.1:1", "10.0.0.1", 1, true},
        SplitCase{"10.0.0.1:65535", "10.0.0.1", 65535, true},
        SplitCase{"host:00021", "host", 21, true}, SplitCase{"[::1]:2121", "::1", 2121, true},
        SplitCase{"[fe80::1]", "fe80::1", 21, true}, SplitCase{"::1", "::1", 21, true},
        SplitCase{"2001:db8::7", "2001:db8::7", 21, true},
        // A port that is no port: the whole text stays the host, flagged.
        SplitCase{"host:", "host:", 21, false}, SplitCase{"host:0", "host:0", 21, false},
        SplitCase{"host:65536", "host:65536", 21, false},
        SplitCase{"host:99999999999999999999", "host:99999999999999999999", 21, false},
        SplitCase{"host:21x", "host:21x", 21, false}, SplitCase{"host:-21", "host:-21", 21, false},
        SplitCase{"host: 21", "host: 21", 21, false}, SplitCase{":21", ":21", 21, false},
        SplitCase{"", "", 21, false}, SplitCase{"[::1", "[::1", 21, false},
        SplitCase{"[]:21", "[]:21", 21, false}, SplitCase{"[::1]21", "[::1]21", 21, false},
        SplitCase{"[::1]:", "[::1]:", 21, false},
        SplitCase{"[::1]:70000", "[::1]:70000", 21, false}));

}  // namespace
}  // namespace orvane::ftp
