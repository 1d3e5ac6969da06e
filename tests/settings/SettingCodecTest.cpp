// The stored form of settings with the cipher cores, and the key material both sides share.
#include "settings/SettingCodec.h"

#include <gtest/gtest.h>
#include <ostream>
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

// Every printable ASCII text of lengths 1 to 200, made from a simple generator.
std::string PrintableText(std::size_t length, unsigned seed) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(' ' + (seed + i * 37) % 95);
    return text;
}

TEST(SettingCodec, RoundTripsPrintableTextOfEveryLength) {
    const std::string key = mCustom::CoreCipherKey();
    for (std::size_t length = 1; length <= 200; ++length) {
        const std::string plain = PrintableText(length, static_cast<unsigned>(length));
        const std::string stored = EncodeSetting(plain, key);
        EXPECT_EQ(stored.size(), raradozo::EncodedLength(length));
        EXPECT_EQ(stored.find_first_not_of(raradozo::CryptAlphabet), std::string::npos);
        EXPECT_EQ(DecodeSettingWithCore(stored, key), plain) << "length " << length;
    }
}

TEST(SettingCodec, StoredTextHidesThePlainText) {
    const std::string key = mCustom::CoreCipherKey();
    const std::string stored = EncodeSetting("secret-password", key);
    EXPECT_EQ(stored.find("secret"), std::string::npos);
    EXPECT_NE(DecodeSettingWithCore(stored, "another key"), "secret-password");
}

struct MalformedCase {
    const char* label;
    std::string stored;
};

// Names the case in test names and failure messages.
void PrintTo(const MalformedCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class DecodeWithCoreRejects : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(DecodeWithCoreRejects, TextTheEncoderCannotWrite) {
    EXPECT_EQ(DecodeSettingWithCore(GetParam().stored, mCustom::CoreCipherKey()), std::nullopt)
        << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeWithCoreRejects,
    ::testing::Values(MalformedCase{"empty", ""}, MalformedCase{"header only", "+-+++1"},
                      MalformedCase{"too short", "+-+"},
                      MalformedCase{"outside the set", "+-+++1MK7!"},
                      MalformedCase{"space inside", "+-+++1MK 7"},
                      MalformedCase{"group cut short", "+-+++1MK7"},
                      MalformedCase{"group too many", "+-+++1MK7XMK7X"},
                      MalformedCase{"declares more bytes", "+-++-+MK7X"},
                      MalformedCase{"declares zero bytes", "+-++++MK7X"}));

struct PrintableCase {
    const char* label;
    std::string text;
    bool printable;
};

// Names the case in test names and failure messages.
void PrintTo(const PrintableCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class Printable : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(Printable, AcceptsUtf8TextWithoutControls) {
    EXPECT_EQ(IsPrintableText(GetParam().text), GetParam().printable) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Printable,
    ::testing::Values(PrintableCase{"ASCII", "ftp.example.org", true},
                      PrintableCase{"space and tilde", " ~", true},
                      PrintableCase{"accented", "caff\xC3\xA8", true},
                      PrintableCase{"euro sign", "\xE2\x82\xAC", true},
                      PrintableCase{"emoji", "\xF0\x9F\x98\x80", true},
                      PrintableCase{"newline", "a\nb", false},
                      PrintableCase{"carriage return", "a\r", false},
                      PrintableCase{"tab", "a\tb", false},
                      PrintableCase{"NUL", std::string("a\0b", 3), false},
                      PrintableCase{"DEL", "a\x7F", false},
                      PrintableCase{"C1 control", "\xC2\x85", false},
                      PrintableCase{"Latin-1 byte", "caff\xE8", false},
                      PrintableCase{"cut sequence", "\xE2\x82", false},
                      PrintableCase{"overlong", "\xC0\xAF", false},
                      PrintableCase{"surrogate", "\xED\xA0\x80", false},
                      PrintableCase{"beyond U+10FFFF", "\xF4\x90\x80\x80", false}));

}  // namespace
}  // namespace orvane::settings
