// FtpUrlPath: remote names turned into URL paths that arrive at the server unchanged.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "ftp/FtpUrl.h"

namespace orvane::ftp {
namespace {

// Shows bytes outside printable ASCII as \xHH, so every case has a one-line ASCII name.
std::string Visible(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += {'\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
        }
    }
    return out;
}

struct PathCase {
    std::string remote;
    std::optional<std::string> urlPath;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << Visible(c.remote); }

class FtpUrlPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(FtpUrlPathTest, EscapesEachSegment) {
    EXPECT_EQ(FtpUrlPath(GetParam().remote), GetParam().urlPath);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FtpUrlPathTest,
    ::testing::Values(PathCase{"ip.txt", "ip.txt"}, PathCase{"pub/ip.txt", "pub/ip.txt"},
                      PathCase{"/pub/ip.txt", "%2Fpub/ip.txt"}, PathCase{"/ip.txt", "%2Fip.txt"},
                      PathCase{"//ip.txt", "%2F/ip.txt"},
                      PathCase{"a b#c%d?e;f", "a%20b%23c%25d%3Fe%3Bf"},
                      PathCase{"@:+&=", "%40%3A%2B%26%3D"}, PathCase{"città.txt", "citt%C3%A0.txt"},
                      PathCase{"\xFF", "%FF"}, PathCase{"../up/./x~_-", "../up/./x~_-"},
                      // No file can carry these names.
                      PathCase{"", std::nullopt}, PathCase{"/", std::nullopt},
                      PathCase{"pub/", std::nullopt}, PathCase{"ip.txt\r\nDELE x", std::nullopt},
                      PathCase{std::string("a\0b", 3), std::nullopt},
                      PathCase{"tab\there", std::nullopt}, PathCase{"del\x7F", std::nullopt}));

}  // namespace
}  // namespace orvane::ftp
