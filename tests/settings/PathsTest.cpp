// The application directory and the settings path derived from the executable's path.
#include <gtest/gtest.h>

#include "settings/mCrypt.h"

namespace orvane::mCrypt {
namespace {

TEST(Paths, AppDirEndsWithExactlyOneSlash) {
    const struct { const char* executable; const char* appDir; } cases[] = {
        {"/opt/orvane/orvane", "/opt/orvane/"}, {"/orvane", "/"}, {"//orvane", "/"},
        {"/a//b//orvane", "/a//b/"}, {"relative/orvane", "relative/"}, {"orvane", "./"}};
    for (const auto& c : cases)
        EXPECT_EQ(AppDirFromExecutablePath(c.executable), c.appDir) << c.executable;

    const std::string dir = AppDir();  // this test program's own
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_TRUE(dir == "/" || !dir.ends_with("//")) << dir;
    EXPECT_EQ(ExecutableName(), "settings_tests");
}

TEST(Paths, SettingsFileIsTheNameWithoutItsLastExtension) {
    const struct { const char* appDir; const char* exeName; const char* path; } cases[] = {
        {"/opt/orvane/", "orvane", "/opt/orvane/orvane.ini"},
        {"C/Tools/", "Orvane.exe", "C/Tools/Orvane.ini"},
        {"/x/", "my.tool.exe", "/x/my.tool.ini"},
        {"/x/", ".orvane", "/x/.orvane.ini"},
        {"/x", "orvane", "/x/orvane.ini"},
        {"/x/", "/elsewhere/orvane", "/x/orvane.ini"}};
    for (const auto& c : cases)
        EXPECT_EQ(SettingsPathFor(c.appDir, c.exeName), c.path) << c.exeName;
}

}  // namespace
}  // namespace orvane::mCrypt
