// raradozo.dll's entries found by name and called with the stdcall convention, string results
// as OLE Automation strings, file times, centring. The entries' logic is tested on Linux and the
// names in the export table by CheckExportTable.cmake; these are what the Windows layer adds.
#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <array>
#include <string>

#include "raradozo/raradozo.h"
#include "support/TestFiles.h"

namespace {

// The library the build puts beside this test program, whose folder comes first in the search.
HMODULE Library() {
    static const HMODULE module = LoadLibraryA("raradozo.dll");
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

// Called many times over: an entry that left its arguments on the stack would unbalance it.
// The buffer entry under its two names is its own inverse.
TEST(LibraryEntries, KeepTheStackBalanced) {
    ASSERT_NE(Library(), nullptr) << GetLastError();
    const auto crc = ENTRY(c_StrCrc16);
    unsigned char buffer[] = "abc";
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(crc(reinterpret_cast<const unsigned char*>("123456789"), 9), 0xBB3Du);
        ENTRY(c_CryptBuffer)(buffer, 3, "key");
        ENTRY(c_DeCryptBuffer)(buffer, 3, "key");
        ASSERT_STREQ(reinterpret_cast<char*>(buffer), "abc");
    }
}

TEST(LibraryEntries, TextResultsKeepEveryByteValue) {
    const auto crypt = ENTRY(c_Crypt);
    const auto decrypt = ENTRY(c_DeCrypt);
    for (int value = 0; value <= 255; ++value) {
        const std::string plain = {'\0', static_cast<char>(value), 'x', static_cast<char>(value)};
        const std::string text = Take(crypt(plain.data(), 4));
        ASSERT_EQ(Take(decrypt(text.data(), static_cast<int32_t>(text.size()))), plain) << text;
    }
    EXPECT_EQ(Take(crypt("", 0)), "");
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

// The screen, as the program centres its window, is the smoke run's check of the running
// program; the placement's arithmetic is the core's test.
TEST(CenterForm, CentresOnAnotherWindowsClientArea) {
    HWND odd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 301, 200, nullptr, nullptr, nullptr,
                               nullptr);
    HWND container = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 80, 400, 300, nullptr, nullptr,
                                     nullptr, nullptr);
    ASSERT_NE(odd, nullptr) << "no window system";
    EXPECT_EQ(ENTRY(c_CenterForm)(container, odd), 1);
    RECT rect{};
    GetWindowRect(odd, &rect);
    EXPECT_EQ((std::array{rect.left, rect.top, rect.right, rect.bottom}),
              (std::array<LONG, 4>{100 + 200 - 150, 80 + 150 - 100, 451, 330}));
    DestroyWindow(odd);
    DestroyWindow(container);
}

}  // namespace
