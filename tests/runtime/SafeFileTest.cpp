// Atomic replacement. Longer files, symbolic links and a directory in the way are met through
// start-up in DeploymentTest; these are what it cannot show.
#include "runtime/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestFiles.h"

namespace orvane::settings {
namespace {

TEST(ReplaceFileAtomically, ModeDoesNotDependOnTheUmask) {
    test::TempDir dir;
    test::WriteText(dir / "f", std::string(1000, 'o'));
    const mode_t previous = umask(0);
    ReplaceFileAtomically(dir / "f", "new", 0600);
    umask(previous);
    struct stat info {};
    ASSERT_EQ(stat((dir / "f").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(test::ReadText(dir / "f"), "new");
    EXPECT_EQ(test::ListDirectory(dir.path()), "f");
}

TEST(ReplaceFileAtomically, MissingDirectoryIsAPathError) {
    test::TempDir dir;
    try {
        ReplaceFileAtomically(dir / "no/such/f", "x", 0600);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::FileNotFound);
        EXPECT_NE(error.detail().find(dir / "no/such/f"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace orvane::settings
