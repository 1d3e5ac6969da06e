// CRC-16/ARC: polynomial 0x8005 reflected, initial value 0, no final XOR.
#pragma once

#include <cstdint>

namespace raradozo {

// The checksum of `count` bytes (zero bytes included); 0 for a null pointer or a count of 0
// or below. "123456789" gives 0xBB3D.
uint16_t Crc16(const uint8_t* bytes, int32_t count);

}  // namespace raradozo
