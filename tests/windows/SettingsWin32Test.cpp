// The support module on Windows: "\" paths, GetPrivateProfileStringA, and deployment of
// raradozo.dll from the program's resource with LoadLibraryExA and the release loop.
#include <windows.h>
#include <gtest/gtest.h>

#include "deploy/EmbeddedLibrary.h"
#include "deploy/InstanceLock.h"
#include "runtime/RuntimeError.h"
#include "runtime/SystemText.h"
#include "settings/KeyMaterial.h"
#include "settings/SettingCodec.h"
#include "settings/mCrypt.h"
#include "support/TestFiles.h"

namespace orvane::mCrypt {
namespace {

// The bytes of the ANSI code page for a text.
std::string Ansi(const std::wstring& text) {
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

// The program's UTF-8 literals reach message boxes and the log in the ANSI code page.
TEST(Texts, Utf8BecomesTheAnsiCodePage) {
    const struct {
        const char* utf8;
        const wchar_t* text;
    } cases[] = {{"", L""},
                 {"Errore #3", L"Errore #3"},
                 {"File già aperto", L"File già aperto"},
                 {"non è testo", L"non è testo"},
                 {"€ ü à\t", L"€ ü à\t"}};
    for (const auto& c : cases) EXPECT_EQ(SystemText(c.utf8), Ansi(c.text)) << c.utf8;
    EXPECT_EQ(ErrorDescription(ErrorNumber::FileAlreadyOpen), Ansi(L"File già aperto"));
}

TEST(Paths, AppDirEndsWithExactlyOneBackslash) {
    const struct {
        const char* executable;
        const char* appDir;
    } cases[] = {{"C:\\Tools\\Orvane.exe", "C:\\Tools\\"},
                 {"C:\\Orvane.exe", "C:\\"},
                 {"C:\\a\\\\Orvane.exe", "C:\\a\\"},
                 {"\\\\server\\share\\Orvane.exe", "\\\\server\\share\\"},
                 {"C:/Tools/Orvane.exe", "C:/Tools\\"},
                 {"Orvane.exe", ".\\"}};
    for (const auto& c : cases)
        EXPECT_EQ(AppDirFromExecutablePath(c.executable), c.appDir) << c.executable;
    EXPECT_EQ(SettingsPathFor("C:\\Tools\\", "Orvane.exe"), "C:\\Tools\\Orvane.ini");
    EXPECT_EQ(SettingsPathFor("C:\\", "C:\\elsewhere\\my.tool.exe"), "C:\\my.tool.ini");
    const std::string dir = AppDir();
    ASSERT_GE(dir.size(), 3u);
    EXPECT_TRUE(dir.ends_with("\\") && !dir.ends_with("\\\\")) << dir;
    EXPECT_EQ(ExecutableName(), "windows_settings_tests.exe");
}

TEST(ReadSetting, GoesThroughTheSystemsReader) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    test::WriteText(file,
                    "[GENERAL]\r\nINTERVAL=600\r\nrasdial=Casa\r\n[FTP]\r\nFILE=ip.txt\r\n"
                    "PATH=" +
                        std::string(20000, 'x') + "\r\n");
    EXPECT_EQ(ReadSetting("GENERAL", "INTERVAL", file), "600");
    EXPECT_EQ(ReadSetting("general", "RASDIAL", file), "Casa") << "names match without case";
    EXPECT_EQ(ReadSetting("FTP", "FILE", file), "ip.txt");
    EXPECT_EQ(ReadSetting("FTP", "PATH", file), std::string(10239, 'x')) << "cut at the buffer";
    EXPECT_EQ(ReadSetting("FTP", "SERVER", file), "") << "a missing key";
    EXPECT_EQ(ReadSetting("GENERAL", "INTERVAL", dir / "missing.ini"), "") << "a missing file";
}

class Deployment : public ::testing::Test {
  protected:
    void TearDown() override { ModuleShutdown(); }
    void Start() { ModuleStartup(dir.path(), "orvane.exe"); }
    std::string LibraryFile() const { return dir / "raradozo.dll"; }
    std::string Image() const {
        const auto image = EmbeddedLibraryImage();
        return std::string(image.begin(), image.end());
    }
    test::TempDir dir;
};

TEST_F(Deployment, WritesLoadsUnloadsAndDeletesTheLibrary) {
    Start();
    EXPECT_EQ(SettingsPath, dir / "orvane.ini");
    EXPECT_EQ(LibraryPath(), LibraryFile());
    EXPECT_NE(GetModuleHandleA(LibraryFile().c_str()), nullptr) << "not loaded from that file";
    EXPECT_EQ(test::ReadText(LibraryFile()), Image());
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());
    for (const std::string& plain :
         {std::string("ftp.example.org:2121"), std::string("anonymous"), std::string("/pub/dir/"),
          std::string("p@ss w0rd!\"'=;"), Ansi(L"pàss\tè€ü")})
        EXPECT_EQ(DecodeSetting(settings::EncodeSetting(plain, CipherKey)), plain);
    EXPECT_THROW(DecodeSetting(""), RuntimeError);
    try {
        DecodeSetting(settings::EncodeSetting("two\r\nlines", CipherKey));
        ADD_FAILURE() << "a line break decoded";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.detail(), Ansi(L"il valore decodificato non è testo"));
    }
    // Load references other code could hold: shut-down releases them all.
    ASSERT_NE(LoadLibraryA(LibraryFile().c_str()), nullptr);
    ASSERT_NE(LoadLibraryA(LibraryFile().c_str()), nullptr);

    ModuleShutdown();
    EXPECT_EQ(GetModuleHandleA(LibraryFile().c_str()), nullptr);
    EXPECT_EQ(GetFileAttributesA(LibraryFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Deployment, ReplacesALongerStaleFileWhole) {
    test::WriteText(LibraryFile(), std::string(Image().size() + 5000, 'Z'));
    Start();
    EXPECT_EQ(test::ReadText(LibraryFile()), Image());
    EXPECT_EQ(test::ListDirectory(dir.path()), ".orvane.lock raradozo.dll") << "a leftover";
}

TEST_F(Deployment, ASecondHolderOfTheDirectoryIsRefused) {
    Start();
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
    EXPECT_THROW(Start(), RuntimeError);
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(test::ListDirectory(dir.path()), ".orvane.lock raradozo.dll");
    RemoveDirectoryA(LibraryFile().c_str());
    Start();
    EXPECT_TRUE(LibraryLoaded());
}

}  // namespace
}  // namespace orvane::mCrypt
