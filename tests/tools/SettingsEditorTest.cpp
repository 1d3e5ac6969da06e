// Editing settings text: values read back exactly, everything else kept byte for byte.
#include "orvane-config/SettingsEditor.h"

#include <gtest/gtest.h>

#include "settings/ProfileReader.h"

namespace orvane::config {
namespace {

TEST(SetProfileValues, ValuesReadBackAsSet) {
    for (const std::string value :
         {"", "plain", " leading", "trailing ", "\tboth\t", "\"quoted\"", "'single'", "\"",
          "\"half", "a=b", "; not a comment", "# nor this", "[not a section]", "x\"y", "' '",
          "caff\xC3\xA8"}) {
        const std::string text = SetProfileValues("", {{"A", "K", value}}, "\n");
        EXPECT_EQ(settings::FindProfileValue(text, "A", "K"), value) << text;
    }
}

TEST(SetProfileValues, ChangesOnlyWhatItMust) {
    const struct {
        const char* label;
        std::string before;
        std::vector<ProfileAssignment> assignments;
        std::string after;
        const char* newFileLineEnd = "\n";
    } cases[] = {
        {"new file",
         "",
         {{"A", "K", "1"}, {"A", "J", "2"}, {"B", "L", "3"}},
         "[A]\nK=1\nJ=2\n\n[B]\nL=3\n"},
        {"replaced in place, comments kept",
         "; head\n[a]\n; about k\n  k = old ; note\nX=9\n",
         {{"A", "K", "new"}},
         "; head\n[a]\n; about k\nK=new\nX=9\n"},
        {"added after the section's last entry",
         "[A]\nX=1\n; tail\n\n[B]\nY=2\n",
         {{"A", "K", "v"}},
         "[A]\nX=1\nK=v\n; tail\n\n[B]\nY=2\n"},
        {"first of two keys only", "[A]\nK=1\nK=2\n", {{"A", "K", "3"}}, "[A]\nK=3\nK=2\n"},
        {"first of two sections only",
         "[A]\nX=1\n[A]\nK=2\n",
         {{"A", "K", "3"}},
         "[A]\nX=1\nK=3\n[A]\nK=2\n"},
        {"CR LF kept and used",
         "[A]\r\nX=1\r\n",
         {{"A", "K", "v"}, {"B", "L", "w"}},
         "[A]\r\nX=1\r\nK=v\r\n\r\n[B]\r\nL=w\r\n"},
        {"no final line end", "[A]\nX=1", {{"A", "K", "v"}}, "[A]\nX=1\nK=v\n"},
        {"empty section", "[A]\n[B]\n", {{"A", "K", "v"}}, "[A]\nK=v\n[B]\n"},
        {"commented key not taken for the key",
         "[A]\n;K=1\n",
         {{"A", "K", "2"}},
         "[A]\n;K=1\nK=2\n"},
        {"new file as Windows writes it", "", {{"A", "K", "1"}}, "[A]\r\nK=1\r\n", "\r\n"},
        {"a file's own line end wins", "[A]\n", {{"A", "K", "1"}}, "[A]\nK=1\n", "\r\n"}};
    for (const auto& c : cases)
        EXPECT_EQ(SetProfileValues(c.before, c.assignments, c.newFileLineEnd), c.after) << c.label;
}

}  // namespace
}  // namespace orvane::config
