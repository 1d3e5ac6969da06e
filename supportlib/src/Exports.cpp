// The library's C exports that need no platform service: thin wrappers over the cores that never
// let an exception out. c_CenterForm and the buffer entry with its two names are per platform.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ResultString.h"
#include "raradozo/checksum.h"
#include "raradozo/cipher.h"
#include "raradozo/datetext.h"
#include "raradozo/raradozo.h"

using raradozo::detail::AllocResultString;
using raradozo::detail::EmptyResultString;

namespace {

// Plain texts at or above this size do not fit the 24-bit length field.
constexpr int32_t kMaxPlainLength = 16777216;

}  // namespace

extern "C" {

RARADOZO_API RzString RARADOZO_CALL c_Crypt(const char* plain, int32_t count) {
    if (plain == nullptr || count <= 0 || count >= kMaxPlainLength) return EmptyResultString();
    try {
        const auto n = static_cast<std::size_t>(count);
        std::vector<char> scratch(raradozo::EncodedLength(n));
        const std::size_t written =
            raradozo::EncodeText({reinterpret_cast<const uint8_t*>(plain), n}, scratch);
        return AllocResultString(scratch.data(), written);
    } catch (...) {
        return nullptr;  // only memory exhaustion gets here
    }
}

RARADOZO_API RzString RARADOZO_CALL c_DeCrypt(const char* text, int32_t count) {
    if (text == nullptr || count <= 0) return EmptyResultString();
    try {
        const auto m = static_cast<std::size_t>(count);
        std::vector<uint8_t> scratch(m);
        const auto decoded = raradozo::DecodeText({text, m}, scratch);
        // A length field larger than the data yields only the bytes that were decoded.
        const std::size_t keep = std::min<std::size_t>(decoded.declaredLength, decoded.written);
        return AllocResultString(scratch.data(), keep);
    } catch (...) {
        return nullptr;  // only memory exhaustion gets here
    }
}

RARADOZO_API uint32_t RARADOZO_CALL c_StrCrc16(const unsigned char* bytes, int32_t count) {
    return raradozo::Crc16(bytes, count);
}

RARADOZO_API RzString RARADOZO_CALL c_GetFileDateTime(const char* path) {
    try {
        const std::string text = raradozo::FileDateText(path);
        return AllocResultString(text.data(), text.size());
    } catch (...) {
        return nullptr;  // only memory exhaustion gets here
    }
}

RARADOZO_API int32_t RARADOZO_CALL c_SetFileDateTime(const char* path, const char* text) {
    return raradozo::SetFileDateText(path, text) ? 1 : 0;
}

}  // extern "C"
