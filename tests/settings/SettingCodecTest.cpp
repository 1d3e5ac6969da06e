// The stored form of settings with the cipher cores, and the key material both sides share.
#include "settings/SettingCodec.h"

#include <gtest/gtest.h>

#include "settings/KeyMaterial.h"

namespace orvane::settings {
namespace {

TEST(KeyMaterial, DecodesToA128ByteKeyWithoutZeroBytes) {
    const std::string key = mCustom::CoreCipherKey();
    EXPECT_EQ(key.size(), 128u);
    EXPECT_EQ(key.find('\0'), std::string::npos);
}

TEST(SettingCodec, RoundTripsPrintableTextOfEveryLengthAndHidesIt) {
    const std::string key = mCustom::CoreCipherKey();
    for (std::size_t length = 1; length <= 200; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i)
            plain += static_cast<char>(' ' + (length + i * 37) % 95);
        EXPECT_EQ(DecodeSettingWithCore(EncodeSetting(plain, key), key), plain) << length;
    }
    const std::string stored = EncodeSetting("secret-password", key);
    EXPECT_EQ(stored.find("secret"), std::string::npos);
    EXPECT_NE(DecodeSettingWithCore(stored, "another key"), "secret-password");
}

TEST(SettingCodec, RejectsTextTheEncoderCannotWrite) {
    const struct {
        const char* label;
        const char* stored;
    } cases[] = {{"empty", ""},
                 {"header only", "+-+++1"},
                 {"too short", "+-+"},
                 {"outside the set", "+-+++1MK7!"},
                 {"space inside", "+-+++1MK 7"},
                 {"group cut short", "+-+++1MK7"},
                 {"group too many", "+-+++1MK7XMK7X"},
                 {"declares more bytes", "+-++-+MK7X"},
                 {"declares zero bytes", "+-++++MK7X"}};
    for (const auto& c : cases)
        EXPECT_EQ(DecodeSettingWithCore(c.stored, mCustom::CoreCipherKey()), std::nullopt)
            << c.label;
}

// Text in the system's encoding (UTF-8 here, the ANSI code page on Windows) without NUL, CR, LF.
TEST(SettingCodec, StorableMeansSystemTextWithoutLineBreaksOrNul) {
#ifdef _WIN32
    const bool onWindows = true;
#else
    const bool onWindows = false;
#endif
    const struct {
        const char* label;
        std::string text;
        bool storable;
    } cases[] = {{"ASCII", "ftp.example.org", true},
                 {"space and tilde", " ~", true},
                 {"tab", "a\tb", true},
                 {"DEL and escape", "a\x7F\x1B", true},
                 {"UTF-8 accented", "caff\xC3\xA8", true},
                 {"UTF-8 euro sign", "\xE2\x82\xAC", true},
                 {"newline", "a\nb", false},
                 {"carriage return", "a\r", false},
                 {"NUL", std::string("a\0b", 3), false},
                 // A byte of the ANSI code page is text there and no UTF-8 here.
                 {"code page byte", "caff\xE8 \x80", onWindows},
                 {"cut sequence", "x\xE2\x82", onWindows},
                 {"overlong", "\xC0\xAF", onWindows},
                 {"surrogate", "\xED\xA0\x80", onWindows},
                 {"beyond U+10FFFF", "\xF4\x90\x80\x80", onWindows}};
    for (const auto& c : cases) EXPECT_EQ(IsStorableText(c.text), c.storable) << c.label;
}

}  // namespace
}  // namespace orvane::settings
