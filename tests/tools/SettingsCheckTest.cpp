// The check's verdict for every key of good and broken settings texts.
#include "orvane-config/SettingsCheck.h"

#include <gtest/gtest.h>
#include <ostream>

#include "orvane-config/SettingsWriter.h"
#include "settings/KeyMaterial.h"
#include "settings/SettingCodec.h"

namespace orvane::config {
namespace {

using Status = KeyVerdict::Status;

const std::string Key = mCustom::CoreCipherKey();

std::string GoodFile() {
    WriteRequest request;
    request.server = "ftp.example.org";
    request.user = "bob";
    request.path = "/pub/";
    request.remoteFile = "ip.txt";
    return BuildSettingsFile("", request, "s3cret", Key);
}

// The verdicts as "NAME=status" for the keys that are not OK.
std::string Problems(const std::string& content) {
    std::string problems;
    for (const KeyVerdict& verdict : CheckSettings(content, Key)) {
        if (verdict.status == Status::Ok) continue;
        problems += (problems.empty() ? "" : " ") + verdict.name +
                    (verdict.status == Status::Missing ? "=missing" : "=invalid");
    }
    return problems;
}

std::string With(const std::string& content, std::string_view line, std::string_view replacement) {
    std::string result = content;
    const auto at = result.find(line);
    const auto end = result.find('\n', at);
    result.replace(at, end - at, replacement);
    return result;
}

TEST(CheckSettings, AcceptsWhatTheWriterWrites) {
    EXPECT_EQ(Problems(GoodFile()), "");
    EXPECT_EQ(CheckSettings(GoodFile(), Key).size(), 9u);
}

struct BrokenCase {
    const char* label;
    std::string content;
    const char* problems;
};

// Names the case in test names and failure messages.
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class CheckFinds : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(CheckFinds, EveryBrokenKey) {
    EXPECT_EQ(Problems(GetParam().content), GetParam().problems) << GetParam().label;
}

const std::string Good = GoodFile();
const std::string OtherKeysPassword = "PASSWORD=" + settings::EncodeSetting("s3cret", "other key");

INSTANTIATE_TEST_SUITE_P(
    Table, CheckFinds,
    ::testing::Values(
        BrokenCase{"empty file", "",
                   "GENERAL/INTERVAL=missing GENERAL/FIRST=missing GENERAL/DELAY=missing "
                   "GENERAL/RASDIAL=missing FTP/SERVER=missing FTP/USER=missing "
                   "FTP/PATH=missing FTP/FILE=missing FTP/PASSWORD=missing"},
        BrokenCase{"bad numbers",
                   With(With(With(Good, "INTERVAL=", "INTERVAL=ten"), "FIRST=", "FIRST=9999999999"),
                        "DELAY=", "DELAY="),
                   "GENERAL/INTERVAL=invalid GENERAL/FIRST=invalid GENERAL/DELAY=invalid"},
        BrokenCase{"plain text where encoded belongs", With(Good, "SERVER=", "SERVER=ftp.example.org"),
                   "FTP/SERVER=invalid"},
        BrokenCase{"empty encoded value", With(Good, "USER=", "USER="), "FTP/USER=invalid"},
        BrokenCase{"encoded with another key", With(Good, "PASSWORD=", OtherKeysPassword),
                   "FTP/PASSWORD=invalid"},
        BrokenCase{"truncated encoded value", With(Good, "PATH=", "PATH=UhUUU1hXJu3"),
                   "FTP/PATH=invalid"},
        BrokenCase{"missing keys", With(With(Good, "RASDIAL=", ""), "FILE=", "; FILE gone"),
                   "GENERAL/RASDIAL=missing FTP/FILE=missing"}));

TEST(VerdictLine, NeverShowsAValue) {
    const std::string content = With(GoodFile(), "INTERVAL=", "INTERVAL=ten");
    for (const KeyVerdict& verdict : CheckSettings(content, Key)) {
        const std::string line = VerdictLine(verdict);
        EXPECT_EQ(line.find("ten"), std::string::npos) << line;
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        EXPECT_EQ(line.find("example"), std::string::npos) << line;
        EXPECT_TRUE(line.starts_with(verdict.name + ": ")) << line;
    }
}

}  // namespace
}  // namespace orvane::config
