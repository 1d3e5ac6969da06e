// raradozo.dll as the program meets it: loaded by path, its entries found by name and called
// with the stdcall convention, string results as OLE Automation strings, file times, centring.
// The entries' logic is tested on Linux; these are what the Windows platform layer adds.
#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "raradozo/raradozo.h"
#include "support/TestFiles.h"

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

// Takes a result string, checks its layout (length prefix, two NULs after) and frees it.
std::string Take(RzString result) {
    if (!result) return "(null)";
    const UINT length = SysStringByteLen(reinterpret_cast<BSTR>(result));
    EXPECT_EQ(result[length] | result[length + 1], 0);
    const std::string bytes(result, length);
    SysFreeString(reinterpret_cast<BSTR>(result));
    return bytes;
}

TEST(LibraryEntries, AreFoundByTheirUndecoratedNames) {
    ASSERT_NE(Library(), nullptr) << GetLastError();
    for (const char* name :
         {"c_CenterForm", "c_Crypt", "c_CryptBuffer", "c_DeCrypt", "c_DeCryptBuffer", "c_StrCrc16",
          "c_GetFileDateTime", "c_SetFileDateTime"})
        EXPECT_NE(GetProcAddress(Library(), name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(Library(), "c_CryptBuffer"),
              GetProcAddress(Library(), "c_DeCryptBuffer"));
    EXPECT_EQ(GetProcAddress(Library(), "c_Crypt@8"), nullptr) << "decorated names are exported";
}

// Called many times over: an entry that left its arguments on the stack would unbalance it.
TEST(LibraryEntries, KeepTheStackBalanced) {
    const auto crc = ENTRY(c_StrCrc16);
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(crc(reinterpret_cast<const unsigned char*>("123456789"), 9), 0xBB3Du);
        ASSERT_EQ(crc(reinterpret_cast<const unsigned char*>("a\0b"), 3), 0x37D0u);
    }
}

TEST(LibraryEntries, TextResultsKeepEveryByteValue) {
    const auto crypt = ENTRY(c_Crypt);
    const auto decrypt = ENTRY(c_DeCrypt);
    for (int value = 0; value <= 255; ++value) {
        const std::string plain = {'\0', static_cast<char>(value), 'x', static_cast<char>(value)};
        const std::string text = Take(crypt(plain.data(), 4));
        ASSERT_EQ(text.size(), 14u);
        ASSERT_EQ(Take(decrypt(text.data(), static_cast<int32_t>(text.size()))), plain) << text;
    }
    EXPECT_EQ(Take(crypt("", 0)), "");
    EXPECT_EQ(Take(decrypt("!!!!!!!!", 8)), "");
}

TEST(LibraryEntries, FileTimesSetAndReadBack) {
    orvane::test::TempDir dir;
    const std::string file = dir / "stamp.txt";
    orvane::test::WriteText(file, "x");
    const auto get = [](const std::string& path) {
        return Take(ENTRY(c_GetFileDateTime)(path.c_str()));
    };
    for (const char* text : {"19991231235959", "20380119031408", "20240102030405"}) {
        ENTRY(c_SetFileDateTime)(file.c_str(), text);
        EXPECT_EQ(get(file), text);
    }
    for (const char* invalid :
         {"20241302030405", "20240132030405", "20240102240405", "abcdefghijklmn"})
        ENTRY(c_SetFileDateTime)(file.c_str(), invalid);
    EXPECT_EQ(get(file), "20240102030405") << "an invalid text changed the time";
    EXPECT_EQ(get(dir / "missing.txt"), "");
    // The library opens without sharing, so a file held open elsewhere is refused.
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(get(file), "");
    CloseHandle(held);
}

// A real top-level window of the given outer size.
struct TestWindow {
    TestWindow(int width, int height)
        : handle(CreateWindowExA(0, "STATIC", "centring", WS_POPUP, 5, 7, width, height, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr)) {}
    ~TestWindow() { DestroyWindow(handle); }
    RECT Rect() const {
        RECT rect{};
        GetWindowRect(handle, &rect);
        return rect;
    }
    HWND handle;
};

// The placement's arithmetic (halves, clamping at zero) is the core's test.
TEST(CenterForm, CentresOnTheScreenOrAnotherWindow) {
    RECT screen{};
    GetClientRect(GetDesktopWindow(), &screen);
    const auto centre = ENTRY(c_CenterForm);
    TestWindow odd(301, 200), container(400, 300);
    ASSERT_NE(odd.handle, nullptr) << "no window system";
    centre(odd.handle, odd.handle);
    EXPECT_EQ(odd.Rect().left, screen.right / 2 - 150);
    EXPECT_EQ(odd.Rect().top, screen.bottom / 2 - 100);
    EXPECT_EQ(odd.Rect().right - odd.Rect().left, 301) << "the size stays";
    SetWindowPos(container.handle, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    centre(container.handle, odd.handle);  // on its client area
    EXPECT_EQ(odd.Rect().left, 100 + 200 - 150);
    EXPECT_EQ(odd.Rect().top, 80 + 150 - 100);
}

}  // namespace
