// The stored form of settings with the cipher cores, and the key material both sides share.
#include "settings/SettingCodec.h"

#include <gtest/gtest.h>
#include <raradozo/cipher.h>

#include "settings/KeyMaterial.h"

namespace orvane::settings {
namespace {

TEST(KeyMaterial, DecodesToA128ByteKeyWithoutZeroBytes) {
    const std::string key = mCustom::CoreCipherKey();
    EXPECT_EQ(key.size(), 128u);
    EXPECT_EQ(key.find('\0'), std::string::npos);
    EXPECT_EQ(mCustom::KeyMaterialText().size(), mCustom::KeyMaterialSize);
}

TEST(SettingCodec, RoundTripsPrintableTextOfEveryLengthAndHidesIt) {
    const std::string key = mCustom::CoreCipherKey();
    for (std::size_t length = 1; length <= 200; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i)
            plain += static_cast<char>(' ' + (length + i * 37) % 95);
        const std::string stored = EncodeSetting(plain, key);
        EXPECT_EQ(stored.size(), raradozo::EncodedLength(length));
        EXPECT_EQ(stored.find_first_not_of(raradozo::CryptAlphabet), std::string::npos);
        EXPECT_EQ(DecodeSettingWithCore(stored, key), plain) << "length " << length;
    }
    const std::string stored = EncodeSetting("secret-password", key);
    EXPECT_EQ(stored.find("secret"), std::string::npos);
    EXPECT_NE(DecodeSettingWithCore(stored, "another key"), "secret-password");
}

TEST(SettingCodec, RejectsTextTheEncoderCannotWrite) {
    const struct { const char* label; const char* stored; } cases[] = {
        {"empty", ""}, {"header only", "+-+++1"}, {"too short", "+-+"},
        {"outside the set", "+-+++1MK7!"}, {"space inside", "+-+++1MK 7"},
        {"group cut short", "+-+++1MK7"}, {"group too many", "+-+++1MK7XMK7X"},
        {"declares more bytes", "+-++-+MK7X"}, {"declares zero bytes", "+-++++MK7X"}};
    for (const auto& c : cases)
        EXPECT_EQ(DecodeSettingWithCore(c.stored, mCustom::CoreCipherKey()), std::nullopt)
            << c.label;
}

TEST(SettingCodec, PrintableMeansUtf8WithoutControls) {
    const struct { const char* label; std::string text; bool printable; } cases[] = {
        {"ASCII", "ftp.example.org", true}, {"space and tilde", " ~", true},
        {"accented", "caff\xC3\xA8", true}, {"euro sign", "\xE2\x82\xAC", true},
        {"emoji", "\xF0\x9F\x98\x80", true}, {"newline", "a\nb", false},
        {"carriage return", "a\r", false}, {"tab", "a\tb", false},
        {"NUL", std::string("a\0b", 3), false}, {"DEL", "a\x7F", false},
        {"C1 control", "\xC2\x85", false}, {"Latin-1 byte", "caff\xE8", false},
        {"cut sequence", "\xE2\x82", false}, {"overlong", "\xC0\xAF", false},
        {"surrogate", "\xED\xA0\x80", false}, {"beyond U+10FFFF", "\xF4\x90\x80\x80", false}};
    for (const auto& c : cases) EXPECT_EQ(IsPrintableText(c.text), c.printable) << c.label;
}

}  // namespace
}  // namespace orvane::settings
