// Start-up and shut-down against temporary application directories with the real support library.
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"
#include "runtime/RuntimeError.h"
#include "settings/EmbeddedLibrary.h"
#include "settings/KeyMaterial.h"
#include "settings/SettingCodec.h"
#include "settings/mCrypt.h"

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

// Runs `body` in a child process; its exit status is the child's result (-1 when it died).
template <typename Body>
int InChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Deployment : public ::testing::Test {
protected:
    void TearDown() override { ModuleShutdown(); }
    std::string LibraryFile() const { return dir / std::string(LibraryFileName); }
    test::TempDir dir;
};

TEST_F(Deployment, WritesLoadsUnloadsAndDeletesTheLibrary) {
    ModuleStartup(dir.path(), "orvane");
    EXPECT_EQ(SettingsPath, dir / "orvane.ini");
    EXPECT_EQ(LibraryPath(), LibraryFile());
    EXPECT_TRUE(LibraryLoaded());
    EXPECT_GT(MappingsOf(LibraryFile()), 0) << "not loaded from exactly " << LibraryFile();

    const struct stat info = StatOf(LibraryFile());
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    const auto image = EmbeddedLibraryImage();
    EXPECT_EQ(test::ReadText(LibraryFile()), std::string(image.begin(), image.end()));

    ModuleShutdown();
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(MappingsOf(LibraryFile()), 0) << "still mapped after shut-down";
    EXPECT_EQ(access(LibraryFile().c_str(), F_OK), -1);
    EXPECT_EQ(test::ListDirectory(dir.path()), LockFileName);
    ModuleShutdown();  // a second call does nothing
}

TEST_F(Deployment, UnloadsALibraryLoadedSeveralTimesOver) {
    ModuleStartup(dir.path(), "orvane");
    // Two more load references, as other code of the process could hold.
    ASSERT_NE(dlopen(LibraryFile().c_str(), RTLD_NOW), nullptr);
    ASSERT_NE(dlopen(LibraryFile().c_str(), RTLD_NOW), nullptr);
    ModuleShutdown();
    EXPECT_EQ(MappingsOf(LibraryFile()), 0);
    EXPECT_EQ(access(LibraryFile().c_str(), F_OK), -1);
}

TEST_F(Deployment, BuildsTheSameKeyAsTheCore) {
    ModuleStartup(dir.path(), "orvane");
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());
}

TEST_F(Deployment, DecodesWhatTheSettingsToolEncodes) {
    ModuleStartup(dir.path(), "orvane");
    const std::string key = mCustom::CoreCipherKey();
    const char* samples[] = {"ftp.example.org:2121", "anonymous", "/pub/dir/", "p@ss w0rd!\"'=;#[]"};
    for (const char* plain : samples) EXPECT_EQ(DecodeSetting(settings::EncodeSetting(plain, key)), plain);
    for (std::size_t length = 1; length <= 200; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i) plain += static_cast<char>(' ' + (length * 7 + i * 31) % 95);
        EXPECT_EQ(DecodeSetting(settings::EncodeSetting(plain, key)), plain) << "length " << length;
    }
}

TEST_F(Deployment, EmptyStoredValueIsASubscriptError) {
    ModuleStartup(dir.path(), "orvane");
    try {
        DecodeSetting("");
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::SubscriptOutOfRange);
    }
}

TEST_F(Deployment, ValuesTheEncoderCannotHaveWrittenAreTypeMismatches) {
    ModuleStartup(dir.path(), "orvane");
    const std::string valid = settings::EncodeSetting("ftp.example.org", CipherKey);
    const std::string cases[] = {
        "abc",                                     // shorter than the header
        valid.substr(0, valid.size() - 1),         // cut short
        valid + "+",                               // a character too many
        "!" + valid.substr(1),                     // outside the encoding's set
        settings::EncodeSetting("ftp.example.org", "another key"),  // no text with our key
    };
    for (const std::string& stored : cases) {
        try {
            DecodeSetting(stored);
            ADD_FAILURE() << "decoded: " << stored;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::TypeMismatch) << stored;
        }
    }
}

TEST_F(Deployment, CentresThroughTheLibrary) {
    ModuleStartup(dir.path(), "orvane");
    struct Geometry {
        RzRect rect;
        int moves = 0;
        RzRect moved{};
    };
    Geometry screen{{0, 0, 1000, 800}}, form{{10, 10, 210, 110}};
    RzWindow desktop{}, window{};
    auto rectOf = [](RzWindow* self, RzRect* out) {
        *out = static_cast<Geometry*>(self->context)->rect;
        return 1;
    };
    desktop.getWindowRect = desktop.getClientRect = window.getWindowRect = window.getClientRect = rectOf;
    desktop.clientToScreen = window.clientToScreen = [](RzWindow*, RzPoint*) { return 1; };
    window.moveWindow = [](RzWindow* self, int32_t x, int32_t y, int32_t w, int32_t h, int32_t) {
        auto* geometry = static_cast<Geometry*>(self->context);
        ++geometry->moves;
        geometry->moved = {x, y, x + w, y + h};
        return 1;
    };
    desktop.context = &screen;
    window.context = &form;
    window.desktop = &desktop;
    CenterForm(&window);
    EXPECT_EQ(form.moves, 1);
    EXPECT_EQ(form.moved.left, 400);
    EXPECT_EQ(form.moved.top, 350);
}

TEST_F(Deployment, ReplacesALongerStaleFileWhole) {
    const auto image = EmbeddedLibraryImage();
    test::WriteText(LibraryFile(), std::string(image.size() + 4096, 'S'));
    ModuleStartup(dir.path(), "orvane");
    EXPECT_EQ(static_cast<std::size_t>(StatOf(LibraryFile()).st_size), image.size());
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());
}

TEST_F(Deployment, DoesNotFollowASymbolicLinkAtTheLibraryPath) {
    test::TempDir elsewhere;
    test::WriteText(elsewhere / "victim", "untouched");
    ASSERT_EQ(symlink((elsewhere / "victim").c_str(), LibraryFile().c_str()), 0);
    ModuleStartup(dir.path(), "orvane");
    EXPECT_EQ(test::ReadText(elsewhere / "victim"), "untouched");
    EXPECT_TRUE(S_ISREG(StatOf(LibraryFile()).st_mode));
    ModuleShutdown();
    EXPECT_EQ(test::ReadText(elsewhere / "victim"), "untouched");
}

// The second copy: this test program started afresh, running only the test below.
int RunSecondCopy(const std::string& appDir) {
    const std::string variable = "ORVANE_SECOND_COPY_DIR=" + appDir;
    const char* argv[] = {"settings_deployment_tests", "--gtest_filter=SecondCopy.*",
                          "--gtest_also_run_disabled_tests", nullptr};
    const char* envp[] = {variable.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, const_cast<char**>(argv),
                    const_cast<char**>(envp)) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Disabled: it runs only as the second copy that the test below starts.
TEST(SecondCopy, DISABLED_IsRefusedWithAClearMessage) {
    const char* appDir = std::getenv("ORVANE_SECOND_COPY_DIR");
    if (appDir == nullptr) GTEST_SKIP() << "runs only as the second copy of another test";
    try {
        ModuleStartup(appDir, "orvane");
        ADD_FAILURE() << "the second copy started";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::FileAlreadyOpen);
        EXPECT_NE(error.detail().find("already running"), std::string::npos) << error.what();
        EXPECT_NE(error.detail().find(appDir), std::string::npos) << error.what();
    }
    ModuleShutdown();  // as the refused program does at its end
    EXPECT_EQ(access((std::string(appDir) + std::string(LibraryFileName)).c_str(), F_OK), 0);
}

TEST_F(Deployment, RefusesASecondCopyWithoutTouchingTheFirst) {
    ModuleStartup(dir.path(), "orvane");
    const struct stat before = StatOf(LibraryFile());
    EXPECT_EQ(RunSecondCopy(dir.path()), 0);
    const struct stat after = StatOf(LibraryFile());
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_GT(MappingsOf(LibraryFile()), 0);
    EXPECT_EQ(DecodeSetting(settings::EncodeSetting("still works", CipherKey)), "still works");
}

TEST_F(Deployment, StartsAgainAfterShutDown) {
    ModuleStartup(dir.path(), "orvane");
    ModuleShutdown();
    ModuleStartup(dir.path(), "orvane");
    EXPECT_TRUE(LibraryLoaded());
    EXPECT_GT(MappingsOf(LibraryFile()), 0);
}

TEST_F(Deployment, DirectoryInTheWayOfTheLibraryFailsCleanly) {
    ASSERT_EQ(mkdir(LibraryFile().c_str(), 0700), 0);
    try {
        ModuleStartup(dir.path(), "orvane");
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_NE(error.detail().find(LibraryFile()), std::string::npos) << error.what();
    }
    EXPECT_FALSE(LibraryLoaded());
    // Only the lock file and the directory remain, and the lock is given up again.
    EXPECT_EQ(test::ListDirectory(dir.path()), std::string(LockFileName) + " raradozo.so");
    rmdir(LibraryFile().c_str());
    ModuleStartup(dir.path(), "orvane");
    EXPECT_TRUE(LibraryLoaded());
}

TEST_F(Deployment, UnwritableDirectoryIsAClearError) {
    // Root writes anywhere, so the attempt runs as an unprivileged user in a child.
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const int result = InChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 3;
        try {
            ModuleStartup(dir.path(), "orvane");
            return 1;
        } catch (const RuntimeError& error) {
            const bool clear = error.number() == ErrorNumber::PermissionDenied &&
                               error.detail().find(dir.path()) != std::string::npos;
            return clear ? 0 : 2;
        }
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::ListDirectory(dir.path()), "");
}

TEST(ShutdownWithoutStartup, DoesNothing) {
    ModuleShutdown();
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(LibraryPath(), "");
}

}  // namespace
}  // namespace orvane::mCrypt
