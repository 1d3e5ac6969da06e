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
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"", L""}, {"non è testo", L"non è testo"}, {"€ ü à\t", L"€ ü à\t"}};
    for (const auto& [utf8, text] : cases) EXPECT_EQ(SystemText(utf8), Ansi(text)) << utf8;
    EXPECT_EQ(ErrorDescription(ErrorNumber::FileAlreadyOpen), Ansi(L"File già aperto"));
}

TEST(Paths, AppDirEndsWithExactlyOneBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tools\\Orvane.exe", "C:\\Tools\\"},
        {"\\\\server\\share\\Orvane.exe", "\\\\server\\share\\"},
        {"C:/Tools/Orvane.exe", "C:/Tools\\"},
        {"Orvane.exe", ".\\"}};
    for (const auto& [executable, appDir] : cases)
        EXPECT_EQ(TextOf(AppDirFromExecutablePath(executable)), appDir) << executable;
    EXPECT_EQ(TextOf(SettingsPathFor("C:\\", "C:\\elsewhere\\my.tool.exe")), "C:\\my.tool.ini");
    // Paths are text in the ANSI code page, as the system's calls take them.
    EXPECT_EQ(TextOf(SettingsPathFor(PathOf(Ansi(L"C:\\Città\\")), "C:\\elsewhere\\my.tool.exe")),
              Ansi(L"C:\\Città\\my.tool.ini"));
    const std::string dir = TextOf(AppDir());
    EXPECT_TRUE(dir.ends_with("\\") && !dir.ends_with("\\\\")) << dir;
    EXPECT_EQ(ExecutableName(), "windows_settings_tests.exe");
}

// Found, missing and unreadable values are the profile reader's tests, which run here too.
TEST(ReadSetting, CutsALongValueOneShortOfTheSystemReadersBuffer) {
    test::TempDir dir;
    test::WriteText(dir / "orvane.ini", "[FTP]\r\nPATH=" + std::string(20000, 'x') + "\r\n");
    EXPECT_EQ(ReadSetting("FTP", "PATH", dir / "orvane.ini").size(), 10239u);
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
    EXPECT_NE(GetModuleHandleA(LibraryFile().c_str()), nullptr) << "not loaded from that file";
    EXPECT_EQ(test::ReadText(LibraryFile()), Image());
    EXPECT_EQ(CipherKey, mCustom::CoreCipherKey());
    for (const std::string& plain : {std::string("p@ss w0rd!\"'=;"), Ansi(L"pàss\tè€ü")})
        EXPECT_EQ(DecodeSetting(settings::EncodeSetting(plain, CipherKey)), plain);
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
        EXPECT_EQ(error.detail(),
                  Ansi(L"un'altra copia di Orvane è già in esecuzione in ") + dir.path());
    }
    EXPECT_FALSE(second.Held());
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
