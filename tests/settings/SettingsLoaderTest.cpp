// The settings loader over settings in memory and the cipher cores: every key's problem in
// reading order, and the program's error for a problem. The typed values show in the form's tests.
#include "settings/SettingsLoader.h"

#include <gtest/gtest.h>

#include <map>

#include "settings/KeyMaterial.h"
#include "settings/SettingCodec.h"

namespace orvane::settings {
namespace {

class Loader : public ::testing::Test {
  protected:
    Loader() {
        source.file = "/home/u/orvane.ini";
        source.read = [this](const SettingKey& key) {
            const auto found = values.find(std::string(key.section) + "/" + std::string(key.key));
            return found == values.end() ? std::string() : found->second;
        };
        source.decode = [](const std::string& stored) {
            const auto plain = DecodeSettingWithCore(stored, mCustom::CoreCipherKey());
            if (!plain) throw RuntimeError(ErrorNumber::TypeMismatch);
            return *plain;
        };
    }
    static std::string Encoded(const std::string& plain) {
        return EncodeSetting(plain, mCustom::CoreCipherKey());
    }

    std::map<std::string, std::string> values{{"GENERAL/INTERVAL", "600"},
                                              {"GENERAL/FIRST", "10"},
                                              {"GENERAL/DELAY", "0"},
                                              {"FTP/SERVER", Encoded("ftp.example.net")},
                                              {"FTP/USER", Encoded("orvane")},
                                              {"FTP/PATH", Encoded("pub/")},
                                              {"FTP/FILE", "ip.txt"},
                                              {"FTP/PASSWORD", Encoded("s3cret")},
                                              {"FTP/HOSTKEY", "SHA256:" + std::string(43, 'k')}};
    SettingsSource source;
};

struct BrokenKey {
    const char* name;
    const char* key;  // SECTION/NAME
    std::string stored;
    Fault fault;
    ErrorNumber number;
    const char* mentions;  // what the program's error says beyond key and file
};

class BrokenKeyTest : public Loader, public ::testing::WithParamInterface<BrokenKey> {};

TEST_P(BrokenKeyTest, IsTheProblemOfThatKeyAlone) {
    const BrokenKey& c = GetParam();
    values[c.key] = c.stored;
    const std::vector<SettingProblem> problems = CheckAllSettings(source);
    ASSERT_EQ(problems.size(), 1u);
    const SettingProblem& problem = problems[0];
    const SettingKey& key = KeyOf(problem.id);
    EXPECT_EQ(std::string(key.section) + "/" + std::string(key.key), c.key);
    EXPECT_EQ(problem.fault.fault, c.fault);
    const RuntimeError error = ProblemError(problem);
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.detail(), "chiave " + std::string(key.key) + ", sezione " +
                                  std::string(key.section) + ", file /home/u/orvane.ini" +
                                  c.mentions);
}

const BrokenKey kBrokenKeys[] = {
    {"WordInterval", "GENERAL/INTERVAL", "ten", Fault::NotANumber, ErrorNumber::TypeMismatch, ""},
    {"HugeDelay", "GENERAL/DELAY", "1e999", Fault::NotANumber, ErrorNumber::Overflow, ""},
    // A countdown from zero or below never comes to the zero that starts a cycle.
    {"SmallestFirst", "GENERAL/FIRST", "-2147483648", Fault::TooFewSeconds,
     ErrorNumber::InvalidProcedureCall, ": almeno 1 secondo"},
    {"IntervalZero", "GENERAL/INTERVAL", "0", Fault::TooFewSeconds,
     ErrorNumber::InvalidProcedureCall, ": almeno 1 secondo"},
    {"IntervalNegative", "GENERAL/INTERVAL", "-5", Fault::TooFewSeconds,
     ErrorNumber::InvalidProcedureCall, ": almeno 1 secondo"},
    {"NotEncoded", "FTP/USER", "abc", Fault::NotEncoded, ErrorNumber::TypeMismatch, ""},
    // Decoded text goes to the server in commands, which a line break would split.
    {"DecodesToALineBreak", "FTP/PATH", EncodeSetting("pub/\r\nDELE x", mCustom::CoreCipherKey()),
     Fault::NotText, ErrorNumber::TypeMismatch, ""},
    {"UnknownProtocol", "FTP/PROTOCOL", "scp", Fault::UnknownProtocol, ErrorNumber::TypeMismatch,
     " (ftp, ftps o sftp)"},
    {"HostKeyNotAFingerprint", "FTP/HOSTKEY", "MD5:12:34", Fault::NotAFingerprint,
     ErrorNumber::TypeMismatch, " (SHA256:...)"},
    // The public address is asked for with the certificate checked, never in clear.
    {"CheckIpInClear", "GENERAL/CHECKIP", "http://checkip.example.net/", Fault::NotHttpsUrl,
     ErrorNumber::TypeMismatch, " (https://...)"},
    {"CheckIpWithASpace", "GENERAL/CHECKIP", "https://checkip.example.net/ x", Fault::NotHttpsUrl,
     ErrorNumber::TypeMismatch, " (https://...)"},
    {"CheckIpNoHost", "GENERAL/CHECKIP", "https://", Fault::NotHttpsUrl, ErrorNumber::TypeMismatch,
     " (https://...)"},
};
INSTANTIATE_TEST_SUITE_P(Settings, BrokenKeyTest, ::testing::ValuesIn(kBrokenKeys),
                         [](const auto& test) { return std::string(test.param.name); });

// The program raises the first; orvane-config names them all.
TEST_F(Loader, NamesEveryProblemInReadingOrder) {
    values = {{"GENERAL/INTERVAL", "1"}, {"GENERAL/FIRST", "x"}, {"FTP/USER", Encoded("u")}};
    std::vector<Setting> named;
    for (const SettingProblem& problem : CheckAllSettings(source)) {
        EXPECT_EQ(problem.file, source.file);
        named.push_back(problem.id);
    }
    EXPECT_EQ(named, (std::vector<Setting>{Setting::First, Setting::Delay, Setting::Server,
                                           Setting::Path, Setting::Password}));
    EXPECT_FALSE(LoadGeneralSettings(source).settings);
}

}  // namespace
}  // namespace orvane::settings
