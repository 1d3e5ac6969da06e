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

namespace orvane::settings {
namespace {

// A [TARGET:NAME] section: the key that is wrong, named with its section and file.
struct BrokenTarget {
    const char* key;  // "" for the section's name
    std::string stored;
    Fault fault;
    const char* says;  // the program's error, from its key on
};

class TargetLoader : public Loader {
  protected:
    TargetLoader() {
        source.sections = [this] {
            std::vector<std::string> names;
            for (const auto& [name, value] : values)
                if (names.empty() || name.substr(0, name.find('/')) != names.back())
                    names.push_back(name.substr(0, name.find('/')));
            return names;
        };
        values.insert({{"TARGET:dyn/TYPE", "dyndns2"},
                       {"TARGET:dyn/SERVER", Encoded("members.example.net")},
                       {"TARGET:dyn/USER", Encoded("me")},
                       {"TARGET:dyn/PASSWORD", Encoded("s3cret")},
                       {"TARGET:dyn/HOSTNAME", "casa.example.net, ufficio.example.net"},
                       {"TARGET:run/TYPE", "command"},
                       {"TARGET:run/RUN", "/usr/local/bin/publish"}});
    }
};

TEST_F(TargetLoader, ReadsEachTargetDecodedAndFingerprintsItsSettings) {
    const LoadedTargets loaded = LoadTargetSettings(source);
    ASSERT_TRUE(loaded.problems.empty());
    ASSERT_EQ(loaded.targets.size(), 2u);
    const publish::TargetSettings& dyn = loaded.targets[0];
    EXPECT_EQ(dyn.name, "dyn");
    EXPECT_EQ(dyn.dyndns2.server, "members.example.net");
    EXPECT_EQ(dyn.dyndns2.password, "s3cret");
    EXPECT_EQ(dyn.dyndns2.hostnames,
              (std::vector<std::string>{"casa.example.net", "ufficio.example.net"}));
    EXPECT_TRUE(dyn.dyndns2.https && dyn.dyndns2.ipv6);
    EXPECT_EQ(loaded.targets[1].command.program, "/usr/local/bin/publish");
    EXPECT_EQ(dyn.fingerprint.find("s3cret"), std::string::npos);
    values["TARGET:dyn/PASSWORD"] = Encoded("n3w");
    EXPECT_NE(LoadTargetSettings(source).targets[0].fingerprint, dyn.fingerprint);
}

TEST_F(TargetLoader, NamesTheKeySectionAndFileOfEachProblem) {
    const BrokenTarget cases[] = {
        {"TYPE", "ddns", Fault::UnknownTargetType, "chiave TYPE, sezione TARGET:dyn"},
        {"TYPE", "dnsupdate", Fault::ProtocolUnavailable, "chiave TYPE, sezione TARGET:dyn"},
        {"PASSWORD", "", Fault::NotEncoded, "chiave PASSWORD, sezione TARGET:dyn"},
        {"HOSTNAME", "", Fault::Missing,
         "chiave HOSTNAME, sezione TARGET:dyn, file /home/u/orvane.ini: manca"},
        {"HOSTNAME", "casa.example.net,a b", Fault::NotAHostName, "chiave HOSTNAME"},
        {"HOSTNAME", "casa.example.net&myip=1.2.3.4", Fault::NotAHostName, "chiave HOSTNAME"},
        {"PROTOCOL", "ftp", Fault::NotAWebProtocol,
         "chiave PROTOCOL, sezione TARGET:dyn, file /home/u/orvane.ini (https o http)"},
        {"IPV6", "yes", Fault::NotAFlag, "chiave IPV6"},
        {"RUN", "publish.sh", Fault::NotAnAbsolutePath, "chiave RUN, sezione TARGET:run"},
        {"", "", Fault::BadTargetName, "sezione TARGET:a b, file"},
    };
    for (const BrokenTarget& c : cases) {
        auto changed = values;
        std::string section = std::string(c.key) == "RUN" ? "TARGET:run" : "TARGET:dyn";
        if (*c.key == '\0')
            changed["TARGET:a b/TYPE"] = "command";
        else
            changed[section + "/" + c.key] = c.stored;
        if (std::string(c.key) == "TYPE" && c.stored == "dnsupdate" &&
            publish::DnsUpdateAvailable())
            continue;  // refused only where no DNS library is built in
        std::swap(values, changed);
        const LoadedTargets loaded = LoadTargetSettings(source);
        std::swap(values, changed);
        ASSERT_EQ(loaded.problems.size(), 1u) << c.says;
        EXPECT_EQ(loaded.problems[0].fault.fault, c.fault) << c.says;
        EXPECT_EQ(loaded.targets.size(), *c.key == '\0' ? 2u : 1u)
            << "the good targets are kept: " << c.says;
        const std::string error = TargetProblemError(loaded.problems[0]).what();
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace orvane::settings
