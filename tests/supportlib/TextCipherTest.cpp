// The text encoding: worked examples, round trips, the header rules and malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raradozo/cipher.h"

namespace {

using raradozo::CryptAlphabet;
using namespace std::string_literals;

std::string Encode(const std::string& plain, unsigned r1, unsigned r2) {
    std::string text(raradozo::EncodedLength(plain.size()), '\0');
    text.resize(raradozo::EncodeText({reinterpret_cast<const uint8_t*>(plain.data()), plain.size()},
                                     text, r1, r2));
    return text;
}

// The length field and the bytes decoded.
raradozo::Decoded DecodeInto(const std::string& text, std::string& bytes) {
    std::vector<uint8_t> out(text.size());
    const auto decoded = raradozo::DecodeText(text, out);
    bytes.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(decoded.written));
    return decoded;
}

std::string Decode(const std::string& text) {
    std::string bytes;
    const auto decoded = DecodeInto(text, bytes);
    return bytes.substr(0, decoded.declaredLength);
}

TEST(TextEncoding, WorkedExamplesEncodeToTheGivenTextAndBack) {
    const struct {
        unsigned start, step;
        std::string plain, text;
    } cases[] = {{0, 1, "abc", "+-+++1MK7X"},
                 {5, 3, "abc", "31333CB5Ui"},
                 {5, 3, "a", "313336Bp33"},
                 {5, 3, "ab", "313339B5R3"},
                 {5, 3, "abcd", "31333FB5UiE333"},
                 {20, 21, "QP", "IJIIIysBII"}};  // I and J; "QP" is 0x515000: digits 20 21 0 0
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.plain, c.start, c.step), c.text);
        EXPECT_EQ(Decode(c.text), c.plain);
    }
}

// Every output has 6 + 4 * ceil(n / 3) characters of the alphabet and an odd step.
TEST(TextEncoding, EveryByteValueInEveryPositionOfShortTextsRoundTrips) {
    const unsigned seeds[][2] = {{0, 1}, {5, 3}, {63, 62}, {1000, 7}, {9, 0}, {9, 2}};
    for (std::size_t length = 1; length <= 4; ++length) {
        for (std::size_t position = 0; position < length; ++position) {
            for (unsigned value = 0; value <= 255; ++value) {
                std::string plain(length, static_cast<char>(0xA5));
                plain[position] = static_cast<char>(value);
                for (const auto& seed : seeds) {
                    const std::string text = Encode(plain, seed[0], seed[1]);
                    ASSERT_EQ(text.size(), 6 + 4 * ((length + 2) / 3));
                    ASSERT_EQ(text.find_first_not_of(CryptAlphabet), std::string::npos) << text;
                    ASSERT_EQ(CryptAlphabet.find(text[1]) % 2, 1u) << "even step in " << text;
                    ASSERT_EQ(Decode(text), plain) << text;
                }
            }
        }
    }
}

TEST(TextEncoding, NothingWhenEmptyTooLongOrOutTooSmall) {
    char out[16] = {};
    const uint8_t plain[4] = {1, 2, 3, 4};
    EXPECT_EQ(raradozo::EncodeText({plain, 0}, out, 0, 1), 0u);
    EXPECT_EQ(raradozo::EncodeText({plain, 4}, {out, 13}, 0, 1), 0u);
    EXPECT_EQ(raradozo::EncodeText({plain, 4}, {out, 14}, 0, 1), 14u);
    std::vector<uint8_t> huge(std::size_t{1} << 24);
    std::vector<char> room(raradozo::EncodedLength(huge.size()));
    EXPECT_EQ(raradozo::EncodeText(huge, room, 0, 1), 0u);
}

// Texts from elsewhere: the length field, how many bytes decode, and what is kept (at most
// the length field). A character outside the alphabet, and a missing length digit, count as
// 0. With an even step a character repeated in the permuted alphabet maps to its last
// position and one absent from it to its own index.
TEST(TextDecoding, MalformedOrEvenStepTextsDecodeWhatIsThereAndStayInBounds) {
    const struct {
        std::string text;
        uint32_t declaredLength;
        std::size_t written;
        std::string kept;
    } cases[] = {
        {"3", 0, 0, ""},
        {"31", 0, 0, ""},
        {"31-", 20u << 18, 0, ""},
        {"31333", 0, 0, ""},
        {"313336", 1, 0, ""},
        {"313336B", 1, 3, "`"},         // one char group
        {"313336Bp3", 1, 3, "a"},       // a group of three characters
        {"31333CB5UiE3", 3, 6, "abc"},  // a trailing half group
        {"31333CB5U!", 3, 3, "ab@"},
        {"31333CB5U\0"s, 3, 3, "ab@"},
        {"31333CB5U\xff", 3, 3, "ab@"},
        {"!1333CB5Ui", 6125018, 3, "\xBE\xD8\x3A"},
        {"31zzzzB5Ui", 0xFBEFBE, 3, "abc"},         // length beyond the data
        {"313336B5Ui", 1, 3, "a"},                  // length below the data
        {"+0---1----", 266307, 3, "\x04\x10\x41"},  // '-' absent at step 2: index 1
        {"+0---10000", 266307, 3, "\x86\x18\x61"},  // '0' at positions 1 and 33: 33
        {"+0---1zA+-", 266307, 3, "\xFE\x68\x01"},  // z 63 (absent), A 38, + 32, - 1
    };
    for (const auto& c : cases) {
        std::string bytes;
        const auto decoded = DecodeInto(c.text, bytes);
        EXPECT_EQ(decoded.declaredLength, c.declaredLength) << c.text;
        EXPECT_EQ(decoded.written, c.written) << c.text;
        EXPECT_EQ(Decode(c.text), c.kept) << c.text;
        // An output shorter than the data is filled and no further.
        std::vector<uint8_t> small(1);
        EXPECT_EQ(raradozo::DecodeText(c.text, small).written, std::min<std::size_t>(c.written, 1));
    }
}

}  // namespace
