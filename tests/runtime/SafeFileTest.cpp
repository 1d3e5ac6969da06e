// Atomic replacement: whole, in place of a link rather than through it, with its own mode. The
// library's deployment writes through it; DeploymentTest meets a directory in the way.
#include "runtime/SafeFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestFiles.h"

namespace orvane::settings {
namespace {

TEST(ReplaceFileAtomically, ReplacesALongerFileOrALinkWholeWithAModeOfItsOwn) {
    test::TempDir dir;
    test::WriteText(dir / "longer", std::string(1000, 'o'));
    test::WriteText(dir / "target", "untouched");
    ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    const mode_t previous = umask(0);
    for (const char* name : {"longer", "link"}) ReplaceFileAtomically(dir / name, "new", 0600);
    umask(previous);
    for (const char* name : {"longer", "link"}) {
        struct stat info {};
        ASSERT_EQ(lstat((dir / name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & (S_IFMT | 07777), S_IFREG | 0600u) << name;
        EXPECT_EQ(test::ReadText(dir / name), "new");
    }
    EXPECT_EQ(test::ReadText(dir / "target"), "untouched");
    EXPECT_EQ(test::ListDirectory(dir.path()), "link longer target");
}

TEST(ReplaceFileAtomically, MissingDirectoryIsAPathError) {
    using testing::AllOf, testing::HasSubstr, testing::Property;
    test::TempDir dir;
    EXPECT_THAT([&] { ReplaceFileAtomically(dir / "no/such/f", "x", 0600); },
                testing::Throws<RuntimeError>(
                    AllOf(Property(&RuntimeError::number, ErrorNumber::FileNotFound),
                          Property(&RuntimeError::detail, HasSubstr(dir / "no/such/f")))));
}

}  // namespace
}  // namespace orvane::settings
