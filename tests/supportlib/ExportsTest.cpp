// The shared library as the program meets it: loaded by path, entries found by name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "raradozo/bstr.h"
#include "raradozo/raradozo.h"

namespace {

using namespace std::string_literals;

// The library and its eight entries, resolved once for all tests.
struct Library {
    void* handle = dlopen(RARADOZO_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    template <typename F>
    F* Entry(const char* name) const {
        return handle ? reinterpret_cast<F*>(dlsym(handle, name)) : nullptr;
    }
    decltype(&c_CenterForm) CenterForm = Entry<decltype(c_CenterForm)>("c_CenterForm");
    decltype(&c_Crypt) Crypt = Entry<decltype(c_Crypt)>("c_Crypt");
    decltype(&c_DeCrypt) DeCrypt = Entry<decltype(c_DeCrypt)>("c_DeCrypt");
    decltype(&c_CryptBuffer) CryptBuffer = Entry<decltype(c_CryptBuffer)>("c_CryptBuffer");
    decltype(&c_DeCryptBuffer) DeCryptBuffer = Entry<decltype(c_DeCryptBuffer)>("c_DeCryptBuffer");
    decltype(&c_StrCrc16) StrCrc16 = Entry<decltype(c_StrCrc16)>("c_StrCrc16");
    decltype(&c_GetFileDateTime) GetFileDateTime =
        Entry<decltype(c_GetFileDateTime)>("c_GetFileDateTime");
    decltype(&c_SetFileDateTime) SetFileDateTime =
        Entry<decltype(c_SetFileDateTime)>("c_SetFileDateTime");
};

const Library& Lib() {
    static const Library library;
    return library;
}

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
    return Take(Lib().Crypt(plain.data(), static_cast<int32_t>(plain.size())));
}
std::string DeCrypt(const std::string& text) {
    return Take(Lib().DeCrypt(text.data(), static_cast<int32_t>(text.size())));
}

TEST(Exports, AllEightAreFoundAndNothingElse) {
    ASSERT_NE(Lib().handle, nullptr) << dlerror();
    for (const void* entry : {reinterpret_cast<const void*>(Lib().CenterForm),
                              reinterpret_cast<const void*>(Lib().Crypt),
                              reinterpret_cast<const void*>(Lib().DeCrypt),
                              reinterpret_cast<const void*>(Lib().CryptBuffer),
                              reinterpret_cast<const void*>(Lib().StrCrc16),
                              reinterpret_cast<const void*>(Lib().GetFileDateTime),
                              reinterpret_cast<const void*>(Lib().SetFileDateTime)}) {
        EXPECT_NE(entry, nullptr);
    }
    EXPECT_EQ(reinterpret_cast<void*>(Lib().DeCryptBuffer),
              reinterpret_cast<void*>(Lib().CryptBuffer));
    EXPECT_EQ(dlsym(Lib().handle, "_ZN8raradozo10CryptTableE"), nullptr);
}

TEST(Exports, TextRoundTripKeepsEveryByteValue) {
    for (std::size_t length = 1; length <= 4; ++length) {
        for (std::size_t position = 0; position < length; ++position) {
            for (int value = 0; value <= 255; ++value) {
                std::string plain(length, '\x7f');
                plain[position] = static_cast<char>(value);
                const std::string text = Crypt(plain);
                ASSERT_EQ(text.size(), 6 + 4 * ((length + 2) / 3));
                ASSERT_EQ(DeCrypt(text), plain) << text;
            }
        }
    }
}

TEST(Exports, TextFunctionsGiveEmptyStringsOutsideTheirRange) {
    const char one[1] = {'a'};
    EXPECT_EQ(Take(Lib().Crypt(one, 0)), "");
    EXPECT_EQ(Take(Lib().Crypt(one, -1)), "");
    EXPECT_EQ(Take(Lib().Crypt(nullptr, 3)), "");
    EXPECT_EQ(Take(Lib().Crypt(one, 16777216)), "");  // must not read the missing bytes
    EXPECT_EQ(Take(Lib().DeCrypt(one, 0)), "");
    EXPECT_EQ(Take(Lib().DeCrypt(one, -5)), "");
    EXPECT_EQ(Take(Lib().DeCrypt(nullptr, 10)), "");
}

TEST(Exports, DeCryptReturnsWhatIsDecodable) {
    struct Case {
        std::string text, plain;
    } cases[] = {
        {"31333CB5Ui", "abc"},      {"31333FB5UiE333", "abcd"}, {"3", ""},
        {"31333", ""},              {"313336", ""},             {"313336Bp3", "a"},
        {"31zzzzB5Ui", "abc"},      {"31333CB5U\0"s, "ab@"},    {"313339B5R3", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeCrypt(c.text), c.plain) << c.text;
}

TEST(Exports, BufferEntriesUndoEachOther) {
    std::vector<unsigned char> buffer(3000);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i);
    const auto original = buffer;
    Lib().CryptBuffer(buffer.data(), static_cast<int32_t>(buffer.size()), "key");
    EXPECT_NE(buffer, original);
    Lib().DeCryptBuffer(buffer.data(), static_cast<int32_t>(buffer.size()), "key");
    EXPECT_EQ(buffer, original);
    Lib().CryptBuffer(buffer.data(), -1, "key");
    EXPECT_EQ(buffer, original);
}

TEST(Exports, CrcIsInTheLow16Bits) {
    EXPECT_EQ(Lib().StrCrc16(reinterpret_cast<const unsigned char*>("123456789"), 9), 0xBB3Du);
    EXPECT_EQ(Lib().StrCrc16(reinterpret_cast<const unsigned char*>("abc"), -3), 0u);
}

TEST(Exports, FileDateTimeRoundTrip) {
    char pattern[] = "/tmp/raradozo-exports-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern, file = dir / "ip.txt";
    std::ofstream(file) << "x";
    const std::string now = Take(Lib().GetFileDateTime(file.c_str()));
    EXPECT_EQ(now.size(), 14u);
    EXPECT_EQ(Lib().SetFileDateTime(file.c_str(), "20010911084600"), 1);
    EXPECT_EQ(Take(Lib().GetFileDateTime(file.c_str())), "20010911084600");
    EXPECT_EQ(Lib().SetFileDateTime(file.c_str(), "20011311084600"), 0);
    EXPECT_EQ(Lib().SetFileDateTime(file.c_str(), nullptr), 0);
    EXPECT_EQ(Take(Lib().GetFileDateTime(file.c_str())), "20010911084600");
    EXPECT_EQ(Take(Lib().GetFileDateTime((dir / "missing").c_str())), "");
    std::filesystem::remove_all(dir);
}

// A window as the program's window system hands it over: its geometry, and the last move.
struct FakeWindow {
    RzWindow handle{};
    RzRect outer{}, client{};
    RzPoint clientOrigin{};  // the client area's top-left corner on the screen
    bool moved = false;
    int32_t x = -1, y = -1, width = -1, height = -1, repaint = -1;

    FakeWindow(RzRect outerRect, RzRect clientRect, RzPoint origin, RzWindow* desktop = nullptr)
        : outer(outerRect), client(clientRect), clientOrigin(origin) {
        handle.desktop = desktop;
        handle.context = this;
        handle.getWindowRect = [](RzWindow* self, RzRect* out) { return *out = Of(self).outer, 1; };
        handle.getClientRect = [](RzWindow* self, RzRect* out) { return *out = Of(self).client, 1; };
        handle.clientToScreen = [](RzWindow* self, RzPoint* point) {
            point->x += Of(self).clientOrigin.x;
            point->y += Of(self).clientOrigin.y;
            return 1;
        };
        handle.moveWindow = [](RzWindow* self, int32_t x, int32_t y, int32_t w, int32_t h,
                               int32_t repaint) {
            auto& window = Of(self);
            window.moved = true;
            window.x = x, window.y = y, window.width = w, window.height = h;
            window.repaint = repaint;
            return 1;
        };
    }
    static FakeWindow& Of(RzWindow* self) { return *static_cast<FakeWindow*>(self->context); }
};

TEST(Exports, CenterFormOnTheScreenWhenBothHandlesAreTheSame) {
    FakeWindow screen({0, 0, 1024, 768}, {0, 0, 1024, 768}, {0, 0});
    FakeWindow window({5, 5, 306, 205}, {0, 0, 295, 180}, {8, 30}, &screen.handle);
    EXPECT_EQ(Lib().CenterForm(&window.handle, &window.handle), 1);
    EXPECT_TRUE(window.moved);
    EXPECT_EQ(window.x, 362);
    EXPECT_EQ(window.y, 284);
    EXPECT_EQ(window.width, 301);
    EXPECT_EQ(window.height, 200);
    EXPECT_EQ(window.repaint, 0);
}

TEST(Exports, CenterFormOnAnotherWindowsClientArea) {
    FakeWindow reference({100, 80, 520, 420}, {0, 0, 400, 300}, {110, 110});
    FakeWindow window({0, 0, 200, 100}, {0, 0, 190, 80}, {5, 15});
    EXPECT_EQ(Lib().CenterForm(&reference.handle, &window.handle), 1);
    EXPECT_EQ(window.x, 110 + 200 - 100);
    EXPECT_EQ(window.y, 110 + 150 - 50);
    EXPECT_FALSE(reference.moved);
}

TEST(Exports, CenterFormWithoutUsableHandlesDoesNothing) {
    FakeWindow window({0, 0, 200, 100}, {0, 0, 190, 80}, {0, 0});  // no desktop
    EXPECT_EQ(Lib().CenterForm(&window.handle, &window.handle), 0);
    EXPECT_EQ(Lib().CenterForm(nullptr, &window.handle), 0);
    FakeWindow screen({0, 0, 1024, 768}, {0, 0, 1024, 768}, {0, 0});
    EXPECT_EQ(Lib().CenterForm(&screen.handle, nullptr), 0);
    screen.handle.clientToScreen = nullptr;
    EXPECT_EQ(Lib().CenterForm(&screen.handle, &window.handle), 0);
    EXPECT_FALSE(window.moved);
}

}  // namespace
