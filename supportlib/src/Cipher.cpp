// The text encoding (EncodeText, DecodeText) and the keyed buffer stream (XorBuffer).
#include "raradozo/cipher.h"

#include <cstring>
#include <ctime>
#include <random>

namespace raradozo {
namespace {

constexpr std::size_t kHeaderLength = 6;  // start, step and four length digits
constexpr std::size_t kGroupChars = 4;    // characters per group of three bytes
constexpr std::size_t kGroupBytes = 3;
constexpr std::size_t kMaxPlainLength = std::size_t{1} << 24;  // the length field's range

// 256 entries, so any byte can be looked up without a range check.
using ReverseMap = std::array<uint8_t, 256>;

// Index of `c` in CryptAlphabet; a character from outside it counts as 0.
unsigned AlphabetIndex(char c) {
    const auto pos = CryptAlphabet.find(c);
    return pos == std::string_view::npos ? 0 : static_cast<unsigned>(pos);
}

// Character to digit, filled first with the CryptAlphabet indices and then with the permuted
// positions in increasing order, so a character that repeats (even step) keeps its last one.
ReverseMap BuildReverseMap(const std::array<char, 64>& permuted) {
    ReverseMap map{};
    for (unsigned i = 0; i < 64; ++i)
        map[static_cast<uint8_t>(CryptAlphabet[i])] = static_cast<uint8_t>(i);
    for (unsigned i = 0; i < 64; ++i)
        map[static_cast<uint8_t>(permuted[i])] = static_cast<uint8_t>(i);
    return map;
}

// Odd steps only: an even one becomes step - 1 when that is above 1, else 1.
unsigned OddStep(unsigned r2) {
    const unsigned step = r2 % 64;
    if (step % 2 == 1) return step;
    return step > 2 ? step - 1 : 1;
}

// Writes the 24-bit value as four 6-bit digits, most significant first.
char* WriteDigits(uint32_t value, const std::array<char, 64>& permuted, char* out) {
    for (int shift = 18; shift >= 0; shift -= 6) *out++ = permuted[(value >> shift) % 64];
    return out;
}

// Reads four digits from text[pos...]; characters past the end of the text count as 0.
uint32_t ReadDigits(std::span<const char> text, std::size_t pos, const ReverseMap& map) {
    uint32_t value = 0;
    for (std::size_t i = pos; i < pos + 4; ++i) {
        const uint32_t digit = i < text.size() ? map[static_cast<uint8_t>(text[i])] : 0;
        value = (value << 6) | digit;
    }
    return value;
}

}  // namespace

std::array<char, 64> PermutedAlphabet(unsigned start, unsigned step) {
    std::array<char, 64> permuted{};
    start %= 64;
    step %= 64;
    for (unsigned i = 0; i < 64; ++i) permuted[i] = CryptAlphabet[(start + i * step) % 64];
    return permuted;
}

std::array<uint8_t, 1024> KeyBlock(const char* key) {
    std::array<uint8_t, 1024> block{};
    const std::size_t length = key ? strnlen(key, block.size()) : 0;
    if (length == 0) return block;
    for (std::size_t j = 0; j < block.size(); ++j) block[j] = static_cast<uint8_t>(key[j % length]);
    return block;
}

std::size_t EncodedLength(std::size_t n) {
    if (n == 0) return 0;
    return kHeaderLength + kGroupChars * ((n + kGroupBytes - 1) / kGroupBytes);
}

std::size_t EncodeText(std::span<const uint8_t> plain, std::span<char> out, unsigned r1,
                       unsigned r2) {
    const std::size_t n = plain.size();
    // A length the field cannot hold, or too little room, writes nothing rather than a text
    // that would decode to something else.
    if (n == 0 || n >= kMaxPlainLength || out.size() < EncodedLength(n)) return 0;

    const unsigned start = r1 % 64;
    const unsigned step = OddStep(r2);
    const auto permuted = PermutedAlphabet(start, step);

    char* cursor = out.data();
    *cursor++ = CryptAlphabet[start];
    *cursor++ = CryptAlphabet[step];
    cursor = WriteDigits(static_cast<uint32_t>(n), permuted, cursor);
    for (std::size_t i = 0; i < n; i += kGroupBytes) {
        uint32_t value = 0;
        for (std::size_t k = 0; k < kGroupBytes; ++k) {
            value = (value << 8) | (i + k < n ? plain[i + k] : 0u);
        }
        cursor = WriteDigits(value, permuted, cursor);
    }
    return static_cast<std::size_t>(cursor - out.data());
}

std::size_t EncodeText(std::span<const uint8_t> plain, std::span<char> out) {
    // A generator of its own per call keeps concurrent callers apart; seeding with the second
    // means two encodings within one second choose the same start and step.
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
    const unsigned r1 = static_cast<unsigned>(generator());
    const unsigned r2 = static_cast<unsigned>(generator());
    return EncodeText(plain, out, r1, r2);
}

Decoded DecodeText(std::span<const char> text, std::span<uint8_t> out) {
    if (text.empty()) return {0, 0};
    const unsigned start = AlphabetIndex(text[0]);
    const unsigned step = text.size() > 1 ? AlphabetIndex(text[1]) : 0;
    const ReverseMap map = BuildReverseMap(PermutedAlphabet(start, step));

    Decoded result{ReadDigits(text, 2, map), 0};
    for (std::size_t pos = kHeaderLength; pos < text.size(); pos += kGroupChars) {
        const uint32_t value = ReadDigits(text, pos, map);
        for (int shift = 16; shift >= 0 && result.written < out.size(); shift -= 8) {
            out[result.written++] = static_cast<uint8_t>(value >> shift);
        }
    }
    return result;
}

void XorBuffer(uint8_t* buffer, int32_t count, const char* key) {
    if (buffer == nullptr || count <= 0) return;
    const auto keyBlock = KeyBlock(key);
    const auto total = static_cast<std::size_t>(count);
    for (std::size_t p = 0; p < total; ++p) {
        const std::size_t i = p % CryptTable.size();
        buffer[p] ^= static_cast<uint8_t>(CryptTable[i] ^ keyBlock[i]);
    }
}

}  // namespace raradozo
