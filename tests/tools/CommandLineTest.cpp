// orvane-config's usage errors; what it accepts is run in OrvaneConfigTest.
#include "orvane-config/CommandLine.h"

#include <gtest/gtest.h>

#include "ftp/Protocol.h"

namespace orvane::config {
namespace {

std::vector<std::string> WriteArgs(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"write", "f.ini",  "--server", "h",      "--user",
                                     "u",     "--path", "/p/",      "--file", "ip.txt"};
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
        {"missing file", {"write", "f", "--server", "h", "--user", "u", "--path", "p"}, "--file"},
        {"option without value", WriteArgs({"--interval"}), "--interval"},
        {"option twice", WriteArgs({"--server", "other"}), "twice"},
        {"unknown option", WriteArgs({"--password", "x"}), "--password"},
        {"interval not a number", WriteArgs({"--interval", "ten"}), "--interval"},
        {"first zero never comes", WriteArgs({"--first", "0"}), "--first"},
        {"delay not a number", WriteArgs({"--delay", "1.5s"}), "--delay"},
        {"newline in a value", WriteArgs({"--rasdial", "a\nb"}), "--rasdial"},
        {"carriage return in an encoded value",
         {"write", "f", "--server", "h\rx", "--user", "u", "--path", "p", "--file", "n"},
         "--server"},
        {"empty encoded value",
         {"write", "f", "--server", "h", "--user", "", "--path", "p", "--file", "n"},
         "--user"},
        {"too long to store", WriteArgs({"--rasdial", std::string(10240, 'x')}), "--rasdial"},
        {"unknown protocol", WriteArgs({"--protocol", "ftpes"}), "--protocol"},
        {"fingerprint of another form", WriteArgs({"--hostkey", "MD5:1f:2e"}), "--hostkey"},
        {"certificate file missing", WriteArgs({"--cafile", "/nonexistent/ca.pem"}), "--cafile"},
        {"set with nothing to change", {"set", "f"}, "nothing"},
        {"set checks what it is given", {"set", "f", "--first", "soon"}, "--first"},
        {"password flag twice", {"set", "f", "--password", "--password"}, "--password"}};
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

// The Windows build speaks plain FTP only and asks no public-address service, and says so
// rather than store what it cannot use.
TEST(ParseCommandLine, TakesTheProtocolsThisBuildSpeaks) {
    for (const auto protocol : {ftp::Protocol::Ftps, ftp::Protocol::Sftp}) {
        const auto args = WriteArgs({"--protocol", std::string(ftp::ProtocolName(protocol))});
        if (ftp::PlatformSupports(protocol))
            EXPECT_NO_THROW(ParseCommandLine(args));
        else
            EXPECT_THROW(ParseCommandLine(args), UsageError);
    }
    const auto checkIp = WriteArgs({"--checkip", "https://checkip.example.net/"});
    if (ftp::PlatformAsksPublicAddress())
        EXPECT_NO_THROW(ParseCommandLine(checkIp));
    else
        EXPECT_THROW(ParseCommandLine(checkIp), UsageError);
}

}  // namespace
}  // namespace orvane::config
