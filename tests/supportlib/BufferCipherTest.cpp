// The keyed buffer stream (involution, key block rules, its fixed table) and the CRC-16/ARC
// check values and table against a bit-by-bit reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raradozo/checksum.h"
#include "raradozo/cipher.h"

namespace {

using namespace std::string_literals;

std::vector<uint8_t> Pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

std::vector<uint8_t> Xored(std::vector<uint8_t> bytes, const char* key) {
    raradozo::XorBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), key);
    return bytes;
}

// A key of this length with no repeat shorter than 50 bytes.
std::string KeyOf(std::size_t length) {
    std::string key(length, '\0');
    for (std::size_t i = 0; i < length; ++i) key[i] = static_cast<char>('A' + i % 50);
    return key;
}

// Applied twice, the stream restores any buffer; it repeats every 1024 bytes whatever the
// key's length. Without a key it is the table, which every stored setting depends on: it must
// never change.
TEST(BufferCipher, IsItsOwnInverseAndRepeatsEvery1024Bytes) {
    for (const std::size_t keyLength : {0u, 1u, 7u, 1000u, 1024u, 1500u}) {
        const std::string key = KeyOf(keyLength);
        for (const std::size_t size : {1u, 1023u, 1024u, 1025u, 5000u}) {
            const auto once = Xored(Pattern(size), key.c_str());
            EXPECT_NE(once, Pattern(size)) << size;
            EXPECT_EQ(Xored(once, key.c_str()), Pattern(size)) << size;
        }
        const auto stream = Xored(std::vector<uint8_t>(2048, 0), key.c_str());
        EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + 1024, stream.begin() + 1024));
    }
    const auto table = Xored(std::vector<uint8_t>(1024, 0), nullptr);
    EXPECT_EQ(raradozo::Crc16(table.data(), 1024), 0xD69B);
}

TEST(BufferCipher, KeysFormingTheSameBlockGiveTheSameStream) {
    const std::pair<std::string, std::string> cases[] = {
        {"secret", "secretsecret"},           // a key written twice in a row
        {"abc", std::string("abc\0xyz", 7)},  // cut at its first zero byte
    };
    for (const auto& [key, same] : cases) {
        EXPECT_EQ(Xored(Pattern(2048), key.c_str()), Xored(Pattern(2048), same.c_str()))
            << key.size();
    }
    EXPECT_NE(Xored(Pattern(2048), "secret"), Xored(Pattern(2048), "secreT"));
}

TEST(BufferCipher, CountOfZeroOrBelowChangesNothing) {
    for (const int32_t count : {0, -1, -1024, INT32_MIN}) {
        auto bytes = Pattern(16);
        raradozo::XorBuffer(bytes.data(), count, "key");
        EXPECT_EQ(bytes, Pattern(16)) << count;
    }
    raradozo::XorBuffer(nullptr, 16, "key");  // no buffer: nothing to do, no crash
}

// Exactly the first 1024 bytes of a key without a zero byte are read (the sanitizer build
// catches a read past the allocation).
TEST(BufferCipher, KeyWithoutTerminatorIsReadOnlyTo1024Bytes) {
    std::vector<char> key(1024);
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<char>(1 + i % 200);
    const auto block = raradozo::KeyBlock(key.data());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), key.begin(),
                           [](uint8_t b, char c) { return b == static_cast<uint8_t>(c); }));
}

uint16_t Crc(const std::string& text) {
    return raradozo::Crc16(reinterpret_cast<const uint8_t*>(text.data()),
                           static_cast<int32_t>(text.size()));
}

// The definition itself, one bit at a time, independent of the table.
uint16_t BitwiseCrc(const std::string& text) {
    uint16_t crc = 0;
    for (unsigned char byte : text) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

TEST(Crc16, CheckValuesAndEveryTableEntry) {
    const std::pair<std::string, uint16_t> cases[] = {{"123456789", 0xBB3D},
                                                      {"abc", 0x9738},
                                                      {"", 0},
                                                      {"\0"s, 0},
                                                      {"a\0b\0c"s, BitwiseCrc("a\0b\0c"s)}};
    for (const auto& [text, crc] : cases) EXPECT_EQ(Crc(text), crc) << text;
    for (int value = 0; value < 256; ++value) {
        const std::string one(1, static_cast<char>(value));
        ASSERT_EQ(Crc(one), BitwiseCrc(one)) << value;
    }
}

TEST(Crc16, ReadsExactlyCountBytes) {
    const uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(raradozo::Crc16(bytes, 3), 0x9738);
    EXPECT_EQ(raradozo::Crc16(bytes, 0), 0);
    EXPECT_EQ(raradozo::Crc16(bytes, -1), 0);
    EXPECT_EQ(raradozo::Crc16(nullptr, 5), 0);
}

}  // namespace
