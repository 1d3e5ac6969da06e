// CRC-16/ARC check values and the table against a bit-by-bit reference.
#include <gtest/gtest.h>

#include <string>

#include "raradozo/checksum.h"

namespace {

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

TEST(Crc16, PublishedCheckValues) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        uint16_t crc;
    } cases[] = {{"123456789", 0xBB3D}, {"abc", 0x9738}, {"", 0}, {"\0"s, 0}};
    for (const auto& c : cases) EXPECT_EQ(Crc(c.text), c.crc) << c.text;
}

TEST(Crc16, EveryTableEntryMatchesTheDefinition) {
    for (int value = 0; value < 256; ++value) {
        const std::string one(1, static_cast<char>(value));
        ASSERT_EQ(Crc(one), BitwiseCrc(one)) << value;
    }
}

TEST(Crc16, ReadsExactlyCountBytesThroughZeroBytes) {
    const std::string text("a\0b\0c", 5);
    EXPECT_EQ(Crc(text), BitwiseCrc(text));
    EXPECT_NE(Crc(text), Crc("a"));
    const uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(raradozo::Crc16(bytes, 3), 0x9738);
}

TEST(Crc16, NothingToReadGivesZero) {
    const uint8_t bytes[] = {'a'};
    EXPECT_EQ(raradozo::Crc16(bytes, 0), 0);
    EXPECT_EQ(raradozo::Crc16(bytes, -1), 0);
    EXPECT_EQ(raradozo::Crc16(nullptr, 5), 0);
}

}  // namespace
