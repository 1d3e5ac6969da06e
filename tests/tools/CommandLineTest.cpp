// orvane-config's usage errors; what it accepts is run in OrvaneConfigTest.
#include "orvane-config/CommandLine.h"

#include <gtest/gtest.h>

namespace orvane::config {
namespace {

std::vector<std::string> WriteArgs(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"write", "f.ini", "--server", "h", "--user", "u",
                                     "--path", "/p/", "--file", "ip.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(ParseCommandLine, RejectsWithAMessageNamingTheProblem) {
    const struct {
        const char* label;
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {"nothing", {}, "no command"},
        {"unknown command", {"read", "f"}, "unknown command"},
        {"check with two files", {"check", "a", "b"}, "FILE"},
        {"missing server", {"write", "f", "--user", "u", "--path", "p", "--file", "n"}, "--server"},
        {"option without value", WriteArgs({"--interval"}), "--interval"},
        {"option twice", WriteArgs({"--server", "other"}), "twice"},
        {"unknown option", WriteArgs({"--password", "x"}), "--password"},
        {"interval not a number", WriteArgs({"--interval", "ten"}), "--interval"},
        {"first overflows", WriteArgs({"--first", "2147483648"}), "--first"},
        {"delay not a number", WriteArgs({"--delay", "1.5s"}), "--delay"},
        {"newline in a value", WriteArgs({"--rasdial", "a\nb"}), "--rasdial"},
        {"control character in an encoded value",
         {"write", "f", "--server", "h\x01", "--user", "u", "--path", "p", "--file", "n"},
         "--server"},
        {"empty encoded value",
         {"write", "f", "--server", "h", "--user", "", "--path", "p", "--file", "n"}, "--user"},
        {"too long to store", WriteArgs({"--rasdial", std::string(10240, 'x')}), "--rasdial"}};
    for (const auto& c : cases) {
        try {
            ParseCommandLine(c.args);
            ADD_FAILURE() << c.label << ": accepted";
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos)
                << c.label << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace orvane::config
