// The profile reader's rules, as a table of file contents, names and the values read.
#include "settings/ProfileReader.h"

#include <gtest/gtest.h>

#include "settings/mCrypt.h"
#include "support/TestFiles.h"

namespace orvane::settings {
namespace {

struct ReadCase {
    const char* label;
    std::string content;
    const char* section;
    const char* key;
    std::optional<std::string> expected;  // nothing: the key is not found
};

const std::string General = "[GENERAL]\nINTERVAL=600\nFIRST=10\n";
const ReadCase ReadCases[] = {
    {"plain", General, "GENERAL", "FIRST", "10"},
    {"names ignore case", General, "general", "Interval", "600"},
    {"missing key", General, "GENERAL", "DELAY", std::nullopt},
    {"missing section", General, "FTP", "FIRST", std::nullopt},
    {"empty file", "", "GENERAL", "FIRST", std::nullopt},
    {"empty value is found", "[A]\nK=\n", "A", "K", ""},
    {"spaces and tabs trimmed", "  [ A ]  \n \tK\t =  v w \t\n", "A", "K", "v w"},
    {"double quotes removed", "[A]\nK=\" padded \"\n", "A", "K", " padded "},
    {"single quotes removed", "[A]\nK='x'\n", "A", "K", "x"},
    {"only one pair removed", "[A]\nK=\"\"x\"\"\n", "A", "K", "\"x\""},
    {"unmatched quotes kept", "[A]\nK=\"x'\n", "A", "K", "\"x'"},
    {"lone quote kept", "[A]\nK=\"\n", "A", "K", "\""},
    {"first equals splits", "[A]\nK=a=b\n", "A", "K", "a=b"},
    {"semicolon comment", "[A]\n;K=1\nK=2\n", "A", "K", "2"},
    {"hash comment", "[A]\n  #K=1\nK=2\n", "A", "K", "2"},
    {"comment mark inside value kept", "[A]\nK=1 ; no\n", "A", "K", "1 ; no"},
    {"line without equals ignored", "[A]\nK\nK=2\n", "A", "K", "2"},
    {"empty key name", "[A]\n=1\nK=2\n", "A", "K", "2"},
    {"first key wins", "[A]\nK=1\nk=2\n", "A", "K", "1"},
    {"first section only", "[A]\nX=1\n[B]\n[a]\nK=2\n", "A", "K", std::nullopt},
    {"keys before any section", "K=1\n[A]\n", "A", "K", std::nullopt},
    {"text after bracket ignored", "[A] ; the first\nK=1\n", "A", "K", "1"},
    {"unclosed bracket is no section", "[A]\n[B\nK=1\n", "A", "K", "1"},
    {"CR LF", "[A]\r\nK=1\r\nJ=2\r\n", "A", "J", "2"},
    {"lone CR", "[A]\rK=1\rJ=2", "A", "J", "2"},
    {"no final line end", "[A]\nK=last", "A", "K", "last"},
    {"byte order mark", "\xEF\xBB\xBF[A]\nK=1\n", "A", "K", "1"},
    {"NUL ends the value", std::string("[A]\nK=ab\0cd\n", 12), "A", "K", "ab"},
    {"non-ASCII value kept", "[A]\nK=caff\xC3\xA8\n", "A", "K", "caff\xC3\xA8"},
};

TEST(ReadProfile, FindsTheValueTheSystemReaderWould) {
    for (const ReadCase& c : ReadCases) {
        EXPECT_EQ(FindProfileValue(c.content, c.section, c.key), c.expected) << c.label;
        EXPECT_EQ(ReadProfileString(c.content, c.section, c.key), c.expected.value_or(""))
            << c.label;
    }
}

TEST(ReadProfile, CutsLongValuesOneShortOfTheBuffer) {
    EXPECT_EQ(ReadProfileString("[A]\nK=" + std::string(20000, 'x') + "\n", "A", "K"),
              std::string(ProfileValueLimit, 'x'));
    const std::string fits(ProfileValueLimit, 'y');
    EXPECT_EQ(ReadProfileString("[A]\nK=\"" + fits + "\"\n", "A", "K"), fits);
}

// The settings tool rewrites files from these lines, so they must give back every byte.
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
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "INTERVAL", dir / "missing.ini"), "");
    EXPECT_EQ(mCrypt::ReadSetting("GENERAL", "INTERVAL", dir.path()), "");  // a directory
}

}  // namespace
}  // namespace orvane::settings
