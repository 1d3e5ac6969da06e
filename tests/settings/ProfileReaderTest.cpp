// The profile reader's rules, as a table of file contents, names and the values read.
#include "settings/ProfileReader.h"

#include <gtest/gtest.h>
#include <ostream>

#include "TempDir.h"
#include "settings/mCrypt.h"

namespace orvane::settings {
namespace {

struct ReadCase {
    const char* label;
    std::string content;
    const char* section;
    const char* key;
    std::optional<std::string> expected;  // nothing: the key is not found
};

// Names the case in test names and failure messages.
void PrintTo(const ReadCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class ReadProfile : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadProfile, FindsTheValueTheSystemReaderWould) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(FindProfileValue(c.content, c.section, c.key), c.expected) << c.label;
    EXPECT_EQ(ReadProfileString(c.content, c.section, c.key), c.expected.value_or(""))
        << c.label;
}

const std::string General = "[GENERAL]\nINTERVAL=600\nFIRST=10\n";

INSTANTIATE_TEST_SUITE_P(
    Table, ReadProfile,
    ::testing::Values(
        ReadCase{"plain", General, "GENERAL", "FIRST", "10"},
        ReadCase{"names ignore case", General, "general", "Interval", "600"},
        ReadCase{"missing key", General, "GENERAL", "DELAY", std::nullopt},
        ReadCase{"missing section", General, "FTP", "FIRST", std::nullopt},
        ReadCase{"empty file", "", "GENERAL", "FIRST", std::nullopt},
        ReadCase{"empty value is found", "[A]\nK=\n", "A", "K", ""},
        ReadCase{"spaces around names and value", "  [ A ]  \n  K  =  v w  \n", "A", "K", "v w"},
        ReadCase{"tabs trimmed", "[A]\n\tK\t=\tv\t\n", "A", "K", "v"},
        ReadCase{"double quotes removed", "[A]\nK=\" padded \"\n", "A", "K", " padded "},
        ReadCase{"single quotes removed", "[A]\nK='x'\n", "A", "K", "x"},
        ReadCase{"only one pair removed", "[A]\nK=\"\"x\"\"\n", "A", "K", "\"x\""},
        ReadCase{"unmatched quotes kept", "[A]\nK=\"x'\n", "A", "K", "\"x'"},
        ReadCase{"lone quote kept", "[A]\nK=\"\n", "A", "K", "\""},
        ReadCase{"inner quote kept", "[A]\nK=a\"b\n", "A", "K", "a\"b"},
        ReadCase{"first equals splits", "[A]\nK=a=b\n", "A", "K", "a=b"},
        ReadCase{"semicolon comment", "[A]\n;K=1\nK=2\n", "A", "K", "2"},
        ReadCase{"hash comment", "[A]\n  #K=1\nK=2\n", "A", "K", "2"},
        ReadCase{"comment mark inside value kept", "[A]\nK=1 ; no comment\n", "A", "K",
                 "1 ; no comment"},
        ReadCase{"line without equals ignored", "[A]\nK\nK=2\n", "A", "K", "2"},
        ReadCase{"first key wins", "[A]\nK=1\nk=2\n", "A", "K", "1"},
        ReadCase{"first section only", "[A]\nX=1\n[B]\n[a]\nK=2\n", "A", "K", std::nullopt},
        ReadCase{"first section's key wins", "[A]\nK=1\n[A]\nK=2\n", "A", "K", "1"},
        ReadCase{"keys before any section", "K=1\n[A]\n", "A", "K", std::nullopt},
        ReadCase{"key of another section", "[B]\nK=1\n[A]\nJ=2\n", "A", "K", std::nullopt},
        ReadCase{"text after bracket ignored", "[A] ; the first\nK=1\n", "A", "K", "1"},
        ReadCase{"unclosed bracket is no section", "[A]\n[B\nK=1\n", "A", "K", "1"},
        ReadCase{"CR LF", "[A]\r\nK=1\r\nJ=2\r\n", "A", "J", "2"},
        ReadCase{"lone CR", "[A]\rK=1\rJ=2", "A", "J", "2"},
        ReadCase{"no final line end", "[A]\nK=last", "A", "K", "last"},
        ReadCase{"byte order mark", "\xEF\xBB\xBF[A]\nK=1\n", "A", "K", "1"},
        ReadCase{"NUL ends the value", std::string("[A]\nK=ab\0cd\n", 12), "A", "K", "ab"},
        ReadCase{"non-ASCII value kept", "[A]\nK=caff\xC3\xA8\n", "A", "K", "caff\xC3\xA8"},
        ReadCase{"empty key name", "[A]\n=1\nK=2\n", "A", "K", "2"}));

TEST(ReadProfile, CutsLongValuesOneShortOfTheBuffer) {
    const std::string longValue(20000, 'x');
    EXPECT_EQ(ReadProfileString("[A]\nK=" + longValue + "\n", "A", "K").size(),
              ProfileValueLimit);
    const std::string fits(ProfileValueLimit, 'y');
    EXPECT_EQ(ReadProfileString("[A]\nK=\"" + fits + "\"\n", "A", "K"), fits);
}

TEST(ParseProfile, LinesRebuildTheContent) {
    const std::string content = "\xEF\xBB\xBF; head\r\n[A]\nK = v\r\rX\n\nlast";
    std::string rebuilt;
    for (const ProfileLine& line : ParseProfile(content))
        rebuilt += std::string(line.text) + std::string(line.terminator);
    EXPECT_EQ(rebuilt, content);
}

TEST(ReadSetting, ReadsAFileAndGivesEmptyTextWhenMissing) {
    test::TempDir dir;
    test::WriteText(dir / "orvane.ini", "[GENERAL]\r\nINTERVAL = 30\r\n");
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "INTERVAL", dir / "orvane.ini"), "30");
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "FIRST", dir / "orvane.ini"), "");
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "INTERVAL", dir / "missing.ini"), "");
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "INTERVAL", dir.path()), "");  // a directory
}

}  // namespace
}  // namespace orvane::settings
