// Start-up and shut-down against temporary application directories with the real support library.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "deploy/EmbeddedLibrary.h"
#include "runtime/RuntimeError.h"
#include "settings/KeyMaterial.h"
#include "settings/mCrypt.h"
#include "support/FakeWindowHandle.h"
#include "support/TestFiles.h"

namespace orvane::mCrypt {
namespace {

// The lines of this process's memory map that name `path`, deleted since or not.
int MappingsOf(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        if (line.ends_with(" " + path) || line.ends_with(" " + path + " (deleted)")) ++count;
    return count;
}

struct stat StatOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}

int ExitStatusOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using testing::HasSubstr, testing::Property, testing::Throws;

testing::Matcher<std::function<void()>> Raises(ErrorNumber number) {
    return Throws<RuntimeError>(Property(&RuntimeError::number, number));
}

class Deployment : public ::testing::Test {
  protected:
    void TearDown() override { ModuleShutdown(); }
    void Start() { ModuleStartup(dir.path(), "orvane"); }
    std::string LibraryFile() const { return dir / std::string(LibraryFileName); }
    test::TempDir dir;
};

TEST_F(Deployment, WritesLoadsUnloadsAndDeletesTheLibrary) {
    Start();
    EXPECT_EQ(SettingsPath, dir / "orvane.ini");
    EXPECT_EQ(LibraryPath(), LibraryFile());
    EXPECT_GT(MappingsOf(LibraryFile()), 0) << "not loaded from exactly " << LibraryFile();
    EXPECT_EQ(StatOf(LibraryFile()).st_mode & 07777, 0600u);
    const auto image = EmbeddedLibraryImage();
    EXPECT_EQ(test::ReadText(LibraryFile()), std::string(image.begin(), image.end()));
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());
    // Load references other code of the process could hold: shut-down releases them all.
    ASSERT_NE(dlopen(LibraryFile().c_str(), RTLD_NOW), nullptr);
    ASSERT_NE(dlopen(LibraryFile().c_str(), RTLD_NOW), nullptr);

    ModuleShutdown();
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(MappingsOf(LibraryFile()), 0) << "still mapped after shut-down";
    EXPECT_EQ(test::ListDirectory(dir.path()), LockFileName);
    ModuleShutdown();  // a second call does nothing
    Start();           // and the lock was given up
    EXPECT_GT(MappingsOf(LibraryFile()), 0);
}

// The stored forms are the codec's tests, what orvane-config writes is decoded in its own tests,
// and what values decode to is the loader's to check; here the errors of values the encoder
// cannot have written.
TEST_F(Deployment, RefusesValuesTheEncoderCannotHaveWritten) {
    Start();
    EXPECT_THAT([] { DecodeSetting(""); }, Raises(ErrorNumber::SubscriptOutOfRange));
    EXPECT_THAT([] { DecodeSetting("abc"); }, Raises(ErrorNumber::TypeMismatch));
}

TEST_F(Deployment, CentresThroughTheLibrary) {
    Start();
    test::FakeWindow screen({0, 0, 1000, 800}, {0, 0, 1000, 800}, {0, 0});
    test::FakeWindow form({10, 10, 210, 110}, {0, 0, 200, 100}, {10, 10}, &screen.handle);
    CenterForm(&form.handle);
    EXPECT_EQ(form.move, (std::vector<int32_t>{400, 350, 200, 100, 0}));
}

// The second copy is a child of this process, which first lets go of what it inherited: that
// shut-down, the refused start-up and its own shut-down all leave the first copy's library alone.
TEST_F(Deployment, RefusesASecondCopyWithoutTouchingTheFirst) {
    Start();
    const struct stat before = StatOf(LibraryFile());
    const pid_t pid = fork();
    if (pid == 0) {
        ModuleShutdown();
        try {
            Start();
            _exit(1);
        } catch (const RuntimeError& error) {
            ModuleShutdown();  // as the refused program does at its end
            const bool named =
                error.detail().find("in esecuzione in " + dir.path()) != std::string::npos;
            _exit(error.number() == ErrorNumber::FileAlreadyOpen && named ? 0 : 2);
        }
    }
    EXPECT_EQ(ExitStatusOf(pid), 0);
    const struct stat after = StatOf(LibraryFile());
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(Deployment, DirectoryInTheWayOfTheLibraryFailsCleanly) {
    ASSERT_EQ(mkdir(LibraryFile().c_str(), 0700), 0);
    EXPECT_THAT([&] { Start(); },
                Throws<RuntimeError>(Property(&RuntimeError::detail, HasSubstr(LibraryFile()))));
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(test::ListDirectory(dir.path()), std::string(LockFileName) + " raradozo.so");
    rmdir(LibraryFile().c_str());
    Start();  // the failed start gave the lock up
    EXPECT_TRUE(LibraryLoaded());
}

TEST_F(Deployment, UnwritableDirectoryIsAClearError) {
    // Root writes anywhere, so the attempt runs as an unprivileged user in a child.
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        try {
            Start();
            _exit(1);
        } catch (const RuntimeError& error) {
            _exit(error.number() == ErrorNumber::PermissionDenied &&
                          error.detail().find(dir.path()) != std::string::npos
                      ? 0
                      : 2);
        }
    }
    EXPECT_EQ(ExitStatusOf(pid), 0);
    EXPECT_EQ(test::ListDirectory(dir.path()), "");
}

}  // namespace
}  // namespace orvane::mCrypt
