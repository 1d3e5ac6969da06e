// orvane-config's argument handling: what it accepts and what is a usage error.
#include "orvane-config/CommandLine.h"

#include <gtest/gtest.h>
#include <ostream>

namespace orvane::config {
namespace {

std::vector<std::string> WriteArgs(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"write", "f.ini", "--server", "h", "--user", "u",
                                     "--path", "/p/", "--file", "ip.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(ParseCommandLine, WriteWithDefaultsAndOptions) {
    const Command plain = ParseCommandLine(WriteArgs());
    ASSERT_EQ(plain.kind, Command::Kind::Write);
    EXPECT_EQ(plain.write.file, "f.ini");
    EXPECT_EQ(plain.write.server, "h");
    EXPECT_EQ(plain.write.remoteFile, "ip.txt");
    EXPECT_EQ(plain.write.interval, "600");
    EXPECT_EQ(plain.write.first, "10");
    EXPECT_EQ(plain.write.delay, "0");
    EXPECT_EQ(plain.write.rasdial, "");

    const Command given = ParseCommandLine(
        WriteArgs({"--interval", "30", "--first=5", "--delay", "2.5", "--rasdial", "My ISP"}));
    EXPECT_EQ(given.write.interval, "30");
    EXPECT_EQ(given.write.first, "5");
    EXPECT_EQ(given.write.delay, "2.5");
    EXPECT_EQ(given.write.rasdial, "My ISP");
}

TEST(ParseCommandLine, CheckAndHelp) {
    const Command check = ParseCommandLine({"check", "f.ini"});
    EXPECT_EQ(check.kind, Command::Kind::Check);
    EXPECT_EQ(check.file, "f.ini");
    EXPECT_EQ(ParseCommandLine({"--help"}).kind, Command::Kind::Help);
}

struct UsageCase {
    const char* label;
    std::vector<std::string> args;
    const char* mentions;
};

// Names the case in test names and failure messages.
void PrintTo(const UsageCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class ParseCommandLineRejects : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ParseCommandLineRejects, WithAMessageNamingTheProblem) {
    try {
        ParseCommandLine(GetParam().args);
        ADD_FAILURE() << GetParam().label << ": accepted";
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos)
            << GetParam().label << ": " << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLineRejects,
    ::testing::Values(
        UsageCase{"nothing", {}, "no command"},
        UsageCase{"unknown command", {"read", "f"}, "unknown command"},
        UsageCase{"check without file", {"check"}, "FILE"},
        UsageCase{"check with two files", {"check", "a", "b"}, "FILE"},
        UsageCase{"write without file", {"write", "--server", "h"}, "FILE"},
        UsageCase{"missing server", {"write", "f", "--user", "u", "--path", "p", "--file", "n"},
                  "--server"},
        UsageCase{"option without value", WriteArgs({"--interval"}), "--interval"},
        UsageCase{"option twice", WriteArgs({"--server", "other"}), "twice"},
        UsageCase{"unknown option", WriteArgs({"--password", "x"}), "--password"},
        UsageCase{"interval not a number", WriteArgs({"--interval", "ten"}), "--interval"},
        UsageCase{"first overflows", WriteArgs({"--first", "2147483648"}), "--first"},
        UsageCase{"delay not a number", WriteArgs({"--delay", "1.5s"}), "--delay"},
        UsageCase{"newline in a value", WriteArgs({"--rasdial", "a\nb"}), "--rasdial"},
        UsageCase{"control character in an encoded value",
                  {"write", "f", "--server", "h\x01", "--user", "u", "--path", "p", "--file", "n"},
                  "--server"},
        UsageCase{"empty encoded value",
                  {"write", "f", "--server", "h", "--user", "", "--path", "p", "--file", "n"},
                  "--user"},
        UsageCase{"too long to store", WriteArgs({"--rasdial", std::string(10240, 'x')}),
                  "--rasdial"}));

}  // namespace
}  // namespace orvane::config
