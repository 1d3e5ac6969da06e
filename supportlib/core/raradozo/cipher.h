// The cipher cores over plain byte arrays: the text encoding and the keyed buffer stream.
// They need no platform service; the library exports and the settings tool both use them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace raradozo {

// The 64 characters of every encoded text, in index order.
inline constexpr std::string_view CryptAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Entry i is CryptAlphabet[(start + i * step) mod 64]; start and step are taken mod 64.
std::array<char, 64> PermutedAlphabet(unsigned start, unsigned step);

// The fixed 1024-byte table of the buffer cipher.
extern const std::array<uint8_t, 1024> CryptTable;

// 1024 bytes: the key (up to its first zero byte, at most 1024 bytes read) repeated.
// A null or empty key gives zeros.
std::array<uint8_t, 1024> KeyBlock(const char* key);

// Characters that EncodeText writes for n plain bytes: 6 + 4 * ceil(n / 3), 0 for n = 0.
std::size_t EncodedLength(std::size_t n);

// Encodes with the start and step chosen from r1 and r2 (start = r1 mod 64; step = r2 mod 64,
// made odd). `out` must hold EncodedLength(plain.size()) characters; returns the count written.
std::size_t EncodeText(std::span<const uint8_t> plain, std::span<char> out, unsigned r1,
                       unsigned r2);

// Encodes with r1 and r2 drawn from a generator seeded with the current time in seconds.
std::size_t EncodeText(std::span<const uint8_t> plain, std::span<char> out);

// The result of decoding: the text's length field, and how many bytes were written to out.
struct Decoded {
    uint32_t declaredLength;
    std::size_t written;
};

// Decodes `text` into `out` (which should hold text.size() bytes). Never reads outside the
// text or writes outside out, whatever the text holds.
Decoded DecodeText(std::span<const char> text, std::span<uint8_t> out);

// XOR of buffer byte p with CryptTable[p mod 1024] ^ KeyBlock(key)[p mod 1024]; its own inverse.
// A count of 0 or below changes nothing.
void XorBuffer(uint8_t* buffer, int32_t count, const char* key);

}  // namespace raradozo
