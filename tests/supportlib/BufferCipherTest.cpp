// The keyed buffer stream: involution, the key block rules and the fixed table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raradozo/checksum.h"
#include "raradozo/cipher.h"

namespace {

std::vector<uint8_t> Pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

std::vector<uint8_t> Xored(std::vector<uint8_t> bytes, const char* key) {
    raradozo::XorBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), key);
    return bytes;
}

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(BufferCipher, ApplyingTwiceRestoresTheBuffer) {
    const std::string longKey(1500, 'k');
    for (const char* key : {"", "k", "Orvane key", longKey.c_str()}) {
        for (std::size_t size : {1u, 3u, 1023u, 1024u, 1025u, 5000u}) {
            const auto plain = Pattern(size);
            const auto once = Xored(plain, key);
            EXPECT_NE(once, plain) << size;
            EXPECT_EQ(Xored(once, key), plain) << size;
        }
    }
}

TEST(BufferCipher, KeysFormingTheSameBlockGiveTheSameStream) {
    const std::string key1024 = Repeat("0123456789abcdef", 64);
    struct Case {
        std::string key, same;
    } cases[] = {
        {"secret", "secretsecret"},               // a key written twice in a row
        {"abc", std::string("abc\0xyz", 7)},      // cut at its first zero byte
        {key1024, key1024 + "more bytes after"},  // only the first 1024 bytes count
    };
    const auto plain = Pattern(3000);
    for (const auto& c : cases) {
        EXPECT_EQ(Xored(plain, c.key.c_str()), Xored(plain, c.same.c_str())) << c.key.size();
    }
    EXPECT_NE(Xored(plain, "secret"), Xored(plain, "secreT"));
}

TEST(BufferCipher, StreamRepeatsEvery1024BytesWhateverTheKeyLength) {
    for (std::size_t keyLength : {1u, 3u, 7u, 1000u, 1024u, 1500u}) {
        std::string key(keyLength, '\0');
        for (std::size_t i = 0; i < keyLength; ++i) key[i] = static_cast<char>('A' + i % 50);
        const auto stream = Xored(std::vector<uint8_t>(2048, 0), key.c_str());
        EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + 1024, stream.begin() + 1024))
            << keyLength;
        EXPECT_EQ(stream[1023] ^ raradozo::CryptTable[1023],
                  static_cast<uint8_t>(key[1023 % keyLength]));
    }
}

TEST(BufferCipher, EmptyOrNullKeyUsesTheTableAlone) {
    for (const char* key : {"", static_cast<const char*>(nullptr)}) {
        const auto stream = Xored(std::vector<uint8_t>(1024, 0), key);
        EXPECT_TRUE(std::equal(stream.begin(), stream.end(), raradozo::CryptTable.begin()));
    }
}

TEST(BufferCipher, CountOfZeroOrBelowChangesNothing) {
    for (int32_t count : {0, -1, -1024, INT32_MIN}) {
        auto bytes = Pattern(16);
        raradozo::XorBuffer(bytes.data(), count, "key");
        EXPECT_EQ(bytes, Pattern(16)) << count;
    }
    raradozo::XorBuffer(nullptr, 16, "key");  // no buffer: nothing to do, no crash
}

// A key with no zero byte in its first 1024 bytes: exactly those bytes are read, no more
// (the sanitizer build catches a read past the allocation).
TEST(BufferCipher, KeyWithoutTerminatorIsReadOnlyTo1024Bytes) {
    std::vector<char> key(1024);
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<char>(1 + i % 200);
    const auto block = raradozo::KeyBlock(key.data());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), key.begin(),
                           [](uint8_t b, char c) { return b == static_cast<uint8_t>(c); }));
}

// Every stored setting depends on the table: it must never change.
TEST(BufferCipher, TableIsFrozen) {
    EXPECT_EQ(raradozo::Crc16(raradozo::CryptTable.data(), 1024), 0xD69B);
    EXPECT_EQ(raradozo::CryptTable[0], 0xE8);
}

}  // namespace
