// raradozo.dll as the program meets it: loaded by path, its eight entries found by name and
// called with the stdcall convention, string results as OLE Automation strings.
#include <windows.h>

#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "raradozo/raradozo.h"

namespace {

// The library beside this test program, as the build puts it there.
HMODULE Library() {
    static const HMODULE module = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string directory(path);
        directory.resize(directory.find_last_of('\\') + 1);
        return LoadLibraryExA((directory + "raradozo.dll").c_str(), nullptr,
                              LOAD_WITH_ALTERED_SEARCH_PATH);
    }();
    return module;
}

#define ENTRY(name) \
    reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(Library(), #name)))

// Takes a result string, checks its layout and frees it.
std::string Take(RzString result) {
    EXPECT_NE(result, nullptr);
    if (!result) return {};
    BSTR text = reinterpret_cast<BSTR>(result);
    const UINT length = SysStringByteLen(text);
    std::string bytes(result, length);
    EXPECT_EQ(result[length], '\0');
    EXPECT_EQ(result[length + 1], '\0');
    SysFreeString(text);
    return bytes;
}

TEST(LibraryEntries, AllEightAreFoundByNameAndTheBufferEntriesAreOne) {
    ASSERT_NE(Library(), nullptr) << GetLastError();
    for (const char* name : {"c_CenterForm", "c_Crypt", "c_CryptBuffer", "c_DeCrypt",
                             "c_DeCryptBuffer", "c_StrCrc16", "c_GetFileDateTime",
                             "c_SetFileDateTime"}) {
        EXPECT_NE(GetProcAddress(Library(), name), nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(Library(), "c_CryptBuffer"),
              GetProcAddress(Library(), "c_DeCryptBuffer"));
    EXPECT_EQ(GetProcAddress(Library(), "c_Crypt@8"), nullptr) << "decorated names are exported";
}

struct CrcCase {
    const char* text;
    int32_t count;
    uint32_t crc;
};

class Crc16Entry : public ::testing::TestWithParam<CrcCase> {};

// Called many times over: an entry that left its arguments on the stack would unbalance it.
TEST_P(Crc16Entry, GivesTheArcChecksum) {
    const auto crc = ENTRY(c_StrCrc16);
    ASSERT_NE(crc, nullptr);
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(crc(reinterpret_cast<const unsigned char*>(GetParam().text), GetParam().count),
                  GetParam().crc);
    }
}

INSTANTIATE_TEST_SUITE_P(Vectors, Crc16Entry,
                         ::testing::Values(CrcCase{"123456789", 9, 0xBB3D},
                                           CrcCase{"abc", 3, 0x9738}, CrcCase{"abc", 0, 0},
                                           CrcCase{"abc", -5, 0}, CrcCase{"a\0b", 3, 0x37D0}));

TEST(LibraryEntries, TextRoundTripKeepsEveryByteValue) {
    const auto crypt = ENTRY(c_Crypt);
    const auto decrypt = ENTRY(c_DeCrypt);
    for (int value = 0; value <= 255; ++value) {
        const std::string plain = {'\0', static_cast<char>(value), 'x', static_cast<char>(value)};
        const std::string text = Take(crypt(plain.data(), static_cast<int32_t>(plain.size())));
        ASSERT_EQ(text.size(), 14u);
        ASSERT_EQ(Take(decrypt(text.data(), static_cast<int32_t>(text.size()))), plain) << text;
    }
    EXPECT_EQ(Take(crypt("", 0)), "");
    EXPECT_EQ(Take(decrypt("!!!!!!!!", 8)), "");
}

TEST(LibraryEntries, BufferEntriesUndoEachOther) {
    std::string buffer = "ftp.example.org";
    ENTRY(c_CryptBuffer)(reinterpret_cast<unsigned char*>(buffer.data()), 15, "key");
    EXPECT_NE(buffer, "ftp.example.org");
    ENTRY(c_DeCryptBuffer)(reinterpret_cast<unsigned char*>(buffer.data()), 15, "key");
    EXPECT_EQ(buffer, "ftp.example.org");
}

class FileTimes : public ::testing::Test {
  protected:
    void SetUp() override { orvane::test::WriteText(file_, "x"); }
    std::string Get(const std::string& path) { return Take(ENTRY(c_GetFileDateTime)(path.c_str())); }
    void Set(const char* text) { ENTRY(c_SetFileDateTime)(file_.c_str(), text); }

    orvane::test::TempDir dir_;
    std::string file_ = dir_ / "stamp.txt";
};

TEST_F(FileTimes, SetThenGetGivesTheSameText) {
    for (const char* text : {"20240102030405", "19991231235959", "20380119031408"}) {
        Set(text);
        EXPECT_EQ(Get(file_), text);
    }
}

TEST_F(FileTimes, InvalidTextLeavesTheTimeAlone) {
    Set("20240102030405");
    for (const char* text : {"20241302030405", "20240132030405", "20240102240405", "abcdefghijklmn"})
        Set(text);
    EXPECT_EQ(Get(file_), "20240102030405");
}

TEST_F(FileTimes, MissingOrBusyFileGivesEmptyText) {
    EXPECT_EQ(Get(dir_ / "missing.txt"), "");
    // The library opens without sharing, so a file held open elsewhere is refused.
    HANDLE held = CreateFileA(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Get(file_), "");
    CloseHandle(held);
    EXPECT_EQ(Get(file_).size(), 14u);
}

// A real top-level window of the given outer size.
class TestWindow {
  public:
    TestWindow(int width, int height) {
        handle_ = CreateWindowExA(0, "STATIC", "centring", WS_POPUP, 5, 7, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(handle_); }
    HWND get() const { return handle_; }
    RECT Rect() const {
        RECT rect{};
        GetWindowRect(handle_, &rect);
        return rect;
    }

  private:
    HWND handle_ = nullptr;
};

TEST(CenterForm, CentresOnTheScreenAndClampsAtZero) {
    RECT screen{};
    GetClientRect(GetDesktopWindow(), &screen);
    const auto centre = ENTRY(c_CenterForm);
    TestWindow odd(301, 200);
    ASSERT_NE(odd.get(), nullptr) << "no window system";
    centre(odd.get(), odd.get());
    EXPECT_EQ(odd.Rect().left, screen.right / 2 - 150);
    EXPECT_EQ(odd.Rect().top, screen.bottom / 2 - 100);
    EXPECT_EQ(odd.Rect().right - odd.Rect().left, 301) << "the size stays";

    TestWindow huge(screen.right + 400, screen.bottom + 300);
    centre(huge.get(), huge.get());
    EXPECT_EQ(huge.Rect().left, 0);
    EXPECT_EQ(huge.Rect().top, 0);
}

TEST(CenterForm, CentresOnAnotherWindowsClientArea) {
    const auto centre = ENTRY(c_CenterForm);
    TestWindow container(400, 300);
    TestWindow inner(100, 50);
    ASSERT_NE(inner.get(), nullptr) << "no window system";
    SetWindowPos(container.get(), nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    centre(container.get(), inner.get());
    EXPECT_EQ(inner.Rect().left, 100 + 200 - 50);
    EXPECT_EQ(inner.Rect().top, 80 + 150 - 25);
}

}  // namespace
