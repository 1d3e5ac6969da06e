// Atomic replacement: whole new content, owner-only mode, links replaced not followed, no leftovers.
#include "settings/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"

namespace orvane::settings {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode;
}

TEST(ReplaceFileAtomically, ReplacesALongerFileWhole) {
    test::TempDir dir;
    test::WriteText(dir / "f", std::string(1000, 'o'));
    ReplaceFileAtomically(dir / "f", "new", 0600);
    EXPECT_EQ(test::ReadText(dir / "f"), "new");
    EXPECT_EQ(ModeOf(dir / "f") & 07777, 0600u);
    EXPECT_EQ(test::ListDirectory(dir.path()), "f");
}

TEST(ReplaceFileAtomically, ModeDoesNotDependOnTheUmask) {
    test::TempDir dir;
    const mode_t previous = umask(0);
    ReplaceFileAtomically(dir / "f", "x", 0600);
    umask(previous);
    EXPECT_EQ(ModeOf(dir / "f") & 07777, 0600u);
}

TEST(ReplaceFileAtomically, ReplacesASymbolicLinkInsteadOfFollowingIt) {
    test::TempDir dir;
    test::WriteText(dir / "target", "precious");
    ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "f").c_str()), 0);
    ReplaceFileAtomically(dir / "f", "mine", 0600);
    EXPECT_EQ(test::ReadText(dir / "target"), "precious");
    EXPECT_TRUE(S_ISREG(ModeOf(dir / "f")));
    EXPECT_EQ(test::ReadText(dir / "f"), "mine");
}

TEST(ReplaceFileAtomically, FailsCleanlyOnADirectoryInTheWay) {
    test::TempDir dir;
    ASSERT_EQ(mkdir((dir / "f").c_str(), 0700), 0);
    try {
        ReplaceFileAtomically(dir / "f", "x", 0600);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_NE(error.detail().find(dir / "f"), std::string::npos) << error.what();
    }
    EXPECT_EQ(test::ListDirectory(dir.path()), "f");  // no temporary file left
}

TEST(ReplaceFileAtomically, MissingDirectoryIsAPathError) {
    test::TempDir dir;
    try {
        ReplaceFileAtomically(dir / "no/such/f", "x", 0600);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::FileNotFound);
    }
}

}  // namespace
}  // namespace orvane::settings
