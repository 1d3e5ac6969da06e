// The support module on Windows: "\" paths, GetPrivateProfileStringA, and deployment of
// raradozo.dll from the program's resource with LoadLibraryExA and the release loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>

#include "TempDir.h"
#include "runtime/RuntimeError.h"
#include "settings/EmbeddedLibrary.h"
#include "settings/InstanceLock.h"
#include "settings/KeyMaterial.h"
#include "settings/SettingCodec.h"
#include "settings/mCrypt.h"

namespace orvane::mCrypt {
namespace {

struct PathCase {
    const char* executable;
    const char* appDir;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << c.executable << '"'; }

class AppDirOf : public ::testing::TestWithParam<PathCase> {};

TEST_P(AppDirOf, EndsWithExactlyOneBackslash) {
    EXPECT_EQ(AppDirFromExecutablePath(GetParam().executable), GetParam().appDir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppDirOf,
    ::testing::Values(PathCase{"C:\\Tools\\Orvane.exe", "C:\\Tools\\"},
                      PathCase{"C:\\Orvane.exe", "C:\\"},
                      PathCase{"C:\\a\\\\Orvane.exe", "C:\\a\\"},
                      PathCase{"\\\\server\\share\\Orvane.exe", "\\\\server\\share\\"},
                      PathCase{"C:/Tools/Orvane.exe", "C:/Tools\\"},
                      PathCase{"Orvane.exe", ".\\"}));

TEST(Paths, SettingsFileIsNamedAfterTheProgram) {
    EXPECT_EQ(SettingsPathFor("C:\\Tools\\", "Orvane.exe"), "C:\\Tools\\Orvane.ini");
    EXPECT_EQ(SettingsPathFor("C:\\", "C:\\elsewhere\\my.tool.exe"), "C:\\my.tool.ini");
    const std::string dir = AppDir();
    ASSERT_GE(dir.size(), 3u);
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_NE(dir.substr(dir.size() - 2), "\\\\");
    EXPECT_EQ(ExecutableName(), "windows_settings_tests.exe");
}

class ProfileFile : public ::testing::Test {
  protected:
    void Write(const std::string& text) { test::WriteText(file_, text); }
    test::TempDir dir_;
    std::string file_ = dir_ / "orvane.ini";
};

TEST_F(ProfileFile, ReadsThroughTheSystemsReader) {
    Write("[GENERAL]\r\nINTERVAL=600\r\nrasdial=Casa\r\n[FTP]\r\nFILE=ip.txt\r\n");
    EXPECT_EQ(ReadSetting("GENERAL", "INTERVAL", file_), "600");
    EXPECT_EQ(ReadSetting("general", "RASDIAL", file_), "Casa") << "names match without case";
    EXPECT_EQ(ReadSetting("FTP", "FILE", file_), "ip.txt");
    EXPECT_EQ(ReadSetting("FTP", "SERVER", file_), "") << "a missing key";
    EXPECT_EQ(ReadSetting("GENERAL", "INTERVAL", dir_ / "missing.ini"), "") << "a missing file";
}

TEST_F(ProfileFile, ALongValueIsCutToOneLessThanTheBuffer) {
    Write("[FTP]\r\nPATH=" + std::string(20000, 'x') + "\r\n");
    EXPECT_EQ(ReadSetting("FTP", "PATH", file_), std::string(10239, 'x'));
}

class Deployment : public ::testing::Test {
  protected:
    void TearDown() override { ModuleShutdown(); }
    std::string LibraryFile() const { return dir / "raradozo.dll"; }
    bool Exists(const std::string& path) const {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    test::TempDir dir;
};

TEST_F(Deployment, WritesLoadsUnloadsAndDeletesTheLibrary) {
    ModuleStartup(dir.path(), "orvane.exe");
    EXPECT_EQ(SettingsPath, dir / "orvane.ini");
    EXPECT_EQ(LibraryPath(), LibraryFile());
    EXPECT_NE(GetModuleHandleA(LibraryFile().c_str()), nullptr) << "not loaded from that file";
    const auto image = EmbeddedLibraryImage();
    EXPECT_EQ(test::ReadText(LibraryFile()), std::string(image.begin(), image.end()));
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());

    ModuleShutdown();
    EXPECT_EQ(GetModuleHandleA(LibraryFile().c_str()), nullptr);
    EXPECT_FALSE(Exists(LibraryFile()));
}

TEST_F(Deployment, UnloadsALibraryLoadedSeveralTimesOver) {
    ModuleStartup(dir.path(), "orvane.exe");
    ASSERT_NE(LoadLibraryA(LibraryFile().c_str()), nullptr);
    ASSERT_NE(LoadLibraryA(LibraryFile().c_str()), nullptr);
    ModuleShutdown();
    EXPECT_EQ(GetModuleHandleA(LibraryFile().c_str()), nullptr);
    EXPECT_FALSE(Exists(LibraryFile()));
}

TEST_F(Deployment, ReplacesALongerStaleFileWhole) {
    const auto image = EmbeddedLibraryImage();
    test::WriteText(LibraryFile(), std::string(image.size() + 5000, 'Z'));
    ModuleStartup(dir.path(), "orvane.exe");
    EXPECT_EQ(test::ReadText(LibraryFile()), std::string(image.begin(), image.end()));
    EXPECT_EQ(test::ListDirectory(dir.path()), ".orvane.lock raradozo.dll") << "a temporary file remains";
}

TEST_F(Deployment, DecodesWhatTheSettingsToolEncodes) {
    ModuleStartup(dir.path(), "orvane.exe");
    const std::string key = mCustom::CoreCipherKey();
    for (const char* plain : {"ftp.example.org:2121", "anonymous", "/pub/dir/", "p@ss w0rd!\"'=;"})
        EXPECT_EQ(DecodeSetting(settings::EncodeSetting(plain, key)), plain);
    try {
        DecodeSetting("");
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::SubscriptOutOfRange);
    }
}

TEST_F(Deployment, ASecondHolderOfTheDirectoryIsRefused) {
    ModuleStartup(dir.path(), "orvane.exe");
    InstanceLock second;
    try {
        second.Acquire(dir / ".orvane.lock", dir.path());
        ADD_FAILURE() << "the second copy got the lock";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::FileAlreadyOpen);
        EXPECT_NE(error.detail().find("already running"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(DecodeSetting(settings::EncodeSetting("still works", CipherKey)), "still works");
}

TEST_F(Deployment, DirectoryInTheWayOfTheLibraryFailsCleanly) {
    ASSERT_TRUE(CreateDirectoryA(LibraryFile().c_str(), nullptr));
    EXPECT_THROW(ModuleStartup(dir.path(), "orvane.exe"), RuntimeError);
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(test::ListDirectory(dir.path()), ".orvane.lock raradozo.dll");
    RemoveDirectoryA(LibraryFile().c_str());
    ModuleStartup(dir.path(), "orvane.exe");
    EXPECT_TRUE(LibraryLoaded());
}

}  // namespace
}  // namespace orvane::mCrypt
