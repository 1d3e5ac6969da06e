// The application directory and the settings path derived from the executable's path.
#include <gtest/gtest.h>
#include <ostream>

#include "settings/mCrypt.h"

namespace orvane::mCrypt {
namespace {

struct PathCase {
    const char* executable;
    const char* appDir;
};

// Names the case in test names and failure messages.
void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << c.executable << '"'; }

class AppDirOf : public ::testing::TestWithParam<PathCase> {};

TEST_P(AppDirOf, EndsWithExactlyOneSlash) {
    EXPECT_EQ(AppDirFromExecutablePath(GetParam().executable), GetParam().appDir);
}

INSTANTIATE_TEST_SUITE_P(Table, AppDirOf,
                         ::testing::Values(PathCase{"/opt/orvane/orvane", "/opt/orvane/"},
                                           PathCase{"/orvane", "/"},
                                           PathCase{"//orvane", "/"},
                                           PathCase{"/a//b//orvane", "/a//b/"},
                                           PathCase{"/usr/bin/orvane.exe", "/usr/bin/"},
                                           PathCase{"relative/orvane", "relative/"},
                                           PathCase{"orvane", "./"}));

struct SettingsCase {
    const char* appDir;
    const char* exeName;
    const char* settingsPath;
};

// Names the case in test names and failure messages.
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << '"' << c.exeName << '"'; }

class SettingsPathOf : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsPathOf, IsTheNameWithoutItsExtension) {
    EXPECT_EQ(SettingsPathFor(GetParam().appDir, GetParam().exeName), GetParam().settingsPath);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsPathOf,
    ::testing::Values(SettingsCase{"/opt/orvane/", "orvane", "/opt/orvane/orvane.ini"},
                      SettingsCase{"C/Tools/", "Orvane.exe", "C/Tools/Orvane.ini"},
                      SettingsCase{"/", "orvane", "/orvane.ini"},
                      SettingsCase{"/x/", "my.tool.exe", "/x/my.tool.ini"},
                      SettingsCase{"/x/", ".orvane", "/x/.orvane.ini"},
                      SettingsCase{"/x", "orvane", "/x/orvane.ini"},
                      SettingsCase{"/x/", "/elsewhere/orvane", "/x/orvane.ini"}));

TEST(AppDir, IsTheDirectoryOfThisTestProgram) {
    const std::string dir = AppDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.back(), '/');
    EXPECT_FALSE(dir.ends_with("//") && dir != "/");
    EXPECT_EQ(ExecutableName(), "settings_tests");
}

}  // namespace
}  // namespace orvane::mCrypt
