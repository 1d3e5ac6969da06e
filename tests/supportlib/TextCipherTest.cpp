// The text encoding: published examples, round trips, the header rules and malformed input.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "raradozo/cipher.h"

namespace {

using raradozo::CryptAlphabet;

std::string Encode(const std::string& plain, unsigned r1, unsigned r2) {
    std::string text(raradozo::EncodedLength(plain.size()), '\0');
    const auto written = raradozo::EncodeText(
        {reinterpret_cast<const uint8_t*>(plain.data()), plain.size()}, text, r1, r2);
    text.resize(written);
    return text;
}

// What c_DeCrypt keeps: the first min(length field, bytes decoded) bytes.
std::string Decode(const std::string& text, raradozo::Decoded* details = nullptr) {
    std::vector<uint8_t> out(text.size());
    const auto decoded = raradozo::DecodeText(text, out);
    if (details) *details = decoded;
    const std::size_t keep = std::min<std::size_t>(decoded.declaredLength, decoded.written);
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(keep));
}

struct WorkedExample {
    unsigned start, step;
    const char* plain;
    const char* text;
};

class WorkedExamples : public testing::TestWithParam<WorkedExample> {};

TEST_P(WorkedExamples, EncodeToTheGivenTextAndBack) {
    const auto& example = GetParam();
    EXPECT_EQ(Encode(example.plain, example.start, example.step), example.text);
    EXPECT_EQ(Decode(example.text), example.plain);
}

INSTANTIATE_TEST_SUITE_P(Published, WorkedExamples,
                         testing::Values(WorkedExample{0, 1, "abc", "+-+++1MK7X"},
                                         WorkedExample{5, 3, "abc", "31333CB5Ui"},
                                         WorkedExample{5, 3, "a", "313336Bp33"},
                                         WorkedExample{5, 3, "ab", "313339B5R3"},
                                         WorkedExample{5, 3, "abcd", "31333FB5UiE333"}));

TEST(PermutedAlphabet, FollowsStartAndStep) {
    const auto permuted = raradozo::PermutedAlphabet(5, 3);
    EXPECT_EQ(std::string(permuted.begin(), permuted.end()),
              "369CFILORUXadgjmpsvy-258BEHKNQTWZcfilorux+147ADGJMPSVYbehknqtwz0");
    const auto identity = raradozo::PermutedAlphabet(0, 1);
    EXPECT_EQ(std::string(identity.begin(), identity.end()), CryptAlphabet);
}

// Checks the shape every encoder output must have and that it decodes back.
void ExpectWellFormedRoundTrip(const std::string& plain, unsigned r1, unsigned r2) {
    const std::string text = Encode(plain, r1, r2);
    ASSERT_EQ(text.size(), 6 + 4 * ((plain.size() + 2) / 3));
    for (char c : text) ASSERT_NE(CryptAlphabet.find(c), std::string_view::npos) << text;
    ASSERT_EQ(CryptAlphabet.find(text[1]) % 2, 1u) << "even step in " << text;
    ASSERT_EQ(Decode(text), plain) << text;
}

TEST(TextRoundTrip, EveryByteValueInEveryPositionOfShortTexts) {
    const unsigned seeds[][2] = {{0, 1}, {5, 3}, {63, 62}, {1000, 7}};
    for (std::size_t length = 1; length <= 4; ++length) {
        for (std::size_t position = 0; position < length; ++position) {
            for (unsigned value = 0; value <= 255; ++value) {
                std::string plain(length, static_cast<char>(0xA5));
                plain[position] = static_cast<char>(value);
                for (const auto& seed : seeds) ExpectWellFormedRoundTrip(plain, seed[0], seed[1]);
            }
        }
    }
}

TEST(TextEncoding, StepIsMadeOddAndStartTakenModulo64) {
    struct Case {
        unsigned r1, r2, start, step;
    } cases[] = {{0, 0, 0, 1},
                 {1, 1, 1, 1},
                 {2, 2, 2, 1},
                 {3, 3, 3, 3},
                 {4, 4, 4, 3},
                 {62, 62, 62, 61},
                 {63, 63, 63, 63},
                 {64, 64, 0, 1},
                 {69, 130, 5, 1},
                 {127, 132, 63, 3},
                 {0xFFFFFFFFu, 0xFFFFFFFEu, 63, 61}};
    for (const auto& c : cases) {
        const std::string text = Encode("x", c.r1, c.r2);
        EXPECT_EQ(text[0], CryptAlphabet[c.start]) << c.r1;
        EXPECT_EQ(text[1], CryptAlphabet[c.step]) << c.r2;
    }
}

TEST(TextEncoding, EveryStartAndOddStepGivesItsOwnTextForTheSameBytes) {
    std::set<std::string> texts;
    for (unsigned start = 0; start < 64; ++start) {
        for (unsigned step = 1; step < 64; step += 2) {
            const std::string text = Encode("abcd", start, step);
            EXPECT_EQ(Decode(text), "abcd") << text;
            texts.insert(text);
        }
    }
    EXPECT_EQ(texts.size(), 64u * 32u);
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
    EXPECT_EQ(raradozo::EncodedLength(0), 0u);
}

TEST(TextEncoding, TimeSeededEncodingDecodes) {
    const std::string plain = "ftp.example.org";
    std::string text(raradozo::EncodedLength(plain.size()), '\0');
    ASSERT_EQ(
        raradozo::EncodeText({reinterpret_cast<const uint8_t*>(plain.data()), plain.size()}, text),
        text.size());
    EXPECT_EQ(CryptAlphabet.find(text[1]) % 2, 1u);
    EXPECT_EQ(Decode(text), plain);
}

// An even step repeats characters in the permuted alphabet: each maps to its last position,
// and characters missing from it map to their own index.
TEST(TextDecoding, EvenStepUsesLastPositionAndAlphabetIndexForAbsentCharacters) {
    struct Case {
        const char* text;
        uint32_t length;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"+0---1----", 266307, {0x04, 0x10, 0x41}},  // '-' absent at step 2: its index 1
        {"+0---10000", 266307, {0x86, 0x18, 0x61}},  // '0' at positions 1 and 33: 33
        {"+0---1zA+-", 266307, {0xFE, 0x68, 0x01}},  // z 63 (absent), A 38, + 32, - 1
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out(10, 0xEE);
        const auto decoded = raradozo::DecodeText(std::string_view(c.text), out);
        EXPECT_EQ(decoded.declaredLength, c.length) << c.text;
        ASSERT_EQ(decoded.written, 3u);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 3), c.bytes) << c.text;
    }
}

struct MalformedCase {
    std::string text;
    uint32_t declaredLength;
    std::size_t written;
    std::string kept;  // min(length field, bytes decoded)
};

class MalformedText : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedText, DecodesWhatIsThereAndStaysInBounds) {
    const auto& c = GetParam();
    raradozo::Decoded decoded{};
    EXPECT_EQ(Decode(c.text, &decoded), c.kept);
    EXPECT_EQ(decoded.declaredLength, c.declaredLength);
    EXPECT_EQ(decoded.written, c.written);
    // An output shorter than the data is filled and no further.
    std::vector<uint8_t> small(1);
    EXPECT_EQ(raradozo::DecodeText(c.text, small).written, std::min<std::size_t>(c.written, 1));
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedText,
    testing::Values(MalformedCase{"3", 0, 0, ""},                // start only
                    MalformedCase{"31", 0, 0, ""},               // no length digits
                    MalformedCase{"31-", 20u << 18, 0, ""},      // missing digits count as 0
                    MalformedCase{"31333", 0, 0, ""},            // five characters
                    MalformedCase{"313336", 1, 0, ""},           // header without data
                    MalformedCase{"313336B", 1, 3, "`"},         // a group of one character
                    MalformedCase{"313336Bp3", 1, 3, "a"},       // a group of three characters
                    MalformedCase{"31333CB5UiE3", 3, 6, "abc"},  // a trailing half group
                    MalformedCase{"31333CB5U!", 3, 3, "ab@"},    // '!' counts as digit 0
                    MalformedCase{"31333CB5U\0"s, 3, 3, "ab@"},  // so does a zero byte
                    MalformedCase{"31333CB5U\xff", 3, 3, "ab@"},
                    MalformedCase{"!1333CB5Ui", 6125018, 3, "\xBE\xD8\x3A"},  // '!' as start is 0
                    MalformedCase{"31zzzzB5Ui", 0xFBEFBE, 3, "abc"},  // length beyond the data
                    MalformedCase{"313336B5Ui", 1, 3, "a"}));         // length below the data

}  // namespace
