// The shared library as the program meets it: loaded by path, entries found by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "raradozo/bstr.h"
#include "raradozo/raradozo.h"
#include "support/FakeWindowHandle.h"
#include "support/TestFiles.h"

namespace {

using namespace std::string_literals;

void* Library() {
    static void* const handle = dlopen(RARADOZO_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

// An entry by its exported name, typed like its declaration.
#define ENTRY(name) reinterpret_cast<decltype(&name)>(dlsym(Library(), #name))

// Takes a result string, checks its layout and frees it.
std::string Take(RzString result) {
    EXPECT_NE(result, nullptr);
    if (!result) return {};
    const uint32_t length = SysStringByteLen(result);
    std::string bytes(result, length);
    EXPECT_EQ(result[length], '\0');
    EXPECT_EQ(result[length + 1], '\0');
    SysFreeString(result);
    return bytes;
}

std::string Crypt(const std::string& plain) {
    return Take(ENTRY(c_Crypt)(plain.data(), static_cast<int32_t>(plain.size())));
}

std::string DeCrypt(const std::string& text) {
    return Take(ENTRY(c_DeCrypt)(text.data(), static_cast<int32_t>(text.size())));
}

// The list of names is the export-list check's, the ciphers' cases are the cores' tests; these
// tests call each entry through its name.
TEST(Exports, TheBufferEntriesAreOneAndTheChecksumPassesThrough) {
    ASSERT_NE(Library(), nullptr) << dlerror();
    EXPECT_EQ(dlsym(Library(), "c_CryptBuffer"), dlsym(Library(), "c_DeCryptBuffer"));
    std::vector<unsigned char> buffer(3, 'x');
    ENTRY(c_CryptBuffer)(buffer.data(), 3, "key");
    EXPECT_NE(buffer, std::vector<unsigned char>(3, 'x'));
    EXPECT_EQ(ENTRY(c_StrCrc16)(reinterpret_cast<const unsigned char*>("123456789"), 9), 0xBB3Du);
}

// Zero bytes pass both ways in the string's length; DeCrypt keeps at most the length field.
TEST(Exports, TextEntriesRoundTripAndKeepWhatIsDecodable) {
    const std::string plain = "\0\xff\0a"s;
    EXPECT_EQ(Crypt(plain).size(), 14u);
    EXPECT_EQ(DeCrypt(Crypt(plain)), plain);
    EXPECT_EQ(DeCrypt("313336B5Ui"), "a");
    EXPECT_EQ(DeCrypt("31zzzzB5Ui"), "abc");
}

TEST(Exports, TextEntriesGiveEmptyStringsOutsideTheirRange) {
    const char one[1] = {'a'};
    EXPECT_EQ(Take(ENTRY(c_Crypt)(one, -1)), "");
    EXPECT_EQ(Take(ENTRY(c_Crypt)(nullptr, 3)), "");
    EXPECT_EQ(Take(ENTRY(c_Crypt)(one, 16777216)), "");  // must not read the missing bytes
    EXPECT_EQ(Take(ENTRY(c_DeCrypt)(one, -5)), "");
    EXPECT_EQ(Take(ENTRY(c_DeCrypt)(nullptr, 10)), "");
}

TEST(Exports, FileDateTimeRoundTrip) {
    orvane::test::TempDir dir;
    const std::string file = dir / "ip.txt";
    orvane::test::WriteText(file, "x");
    EXPECT_EQ(ENTRY(c_SetFileDateTime)(file.c_str(), "20010911084600"), 1);
    EXPECT_EQ(ENTRY(c_SetFileDateTime)(file.c_str(), "20011311084600"), 0);
    EXPECT_EQ(Take(ENTRY(c_GetFileDateTime)(file.c_str())), "20010911084600");
    EXPECT_EQ(Take(ENTRY(c_GetFileDateTime)((dir / "missing").c_str())), "");
}

// The same handle twice means the screen (the window's desktop), another handle that window's
// client area. Missing handles or callbacks, or a callback that throws (its exception must not
// cross the library boundary), leave the window where it is.
TEST(Exports, CenterFormOnTheScreenOrAnotherWindowOrNowhere) {
    orvane::test::FakeWindow screen({0, 0, 1024, 768}, {0, 0, 1024, 768}, {0, 0});
    orvane::test::FakeWindow window({5, 5, 306, 205}, {0, 0, 295, 180}, {8, 30}, &screen.handle);
    EXPECT_EQ(ENTRY(c_CenterForm)(&window.handle, &window.handle), 1);
    EXPECT_EQ(window.move, (std::vector<int32_t>{362, 284, 301, 200, 0}));
    orvane::test::FakeWindow reference({100, 80, 520, 420}, {0, 0, 400, 300}, {110, 110});
    EXPECT_EQ(ENTRY(c_CenterForm)(&reference.handle, &window.handle), 1);
    EXPECT_EQ(window.move, (std::vector<int32_t>{160, 160, 301, 200, 0}));
    EXPECT_TRUE(reference.move.empty() && screen.move.empty());

    window.move.clear();
    EXPECT_EQ(ENTRY(c_CenterForm)(&reference.handle, &reference.handle), 0);  // no desktop
    EXPECT_EQ(ENTRY(c_CenterForm)(nullptr, &window.handle), 0);
    EXPECT_EQ(ENTRY(c_CenterForm)(&screen.handle, nullptr), 0);
    screen.handle.clientToScreen = [](RzWindow*, RzPoint*) -> int {
        throw std::runtime_error("x");
    };
    EXPECT_EQ(ENTRY(c_CenterForm)(&window.handle, &window.handle), 0);
    screen.handle.clientToScreen = nullptr;
    EXPECT_EQ(ENTRY(c_CenterForm)(&screen.handle, &window.handle), 0);
    EXPECT_TRUE(reference.move.empty() && window.move.empty());
}

}  // namespace
