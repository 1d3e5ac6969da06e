// The library's eight C exports: thin wrappers over the cores that never let an exception out.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ResultString.h"
#include "raradozo/centring.h"
#include "raradozo/checksum.h"
#include "raradozo/cipher.h"
#include "raradozo/datetext.h"
#include "raradozo/raradozo.h"

using raradozo::detail::AllocResultString;
using raradozo::detail::EmptyResultString;

namespace {

// Plain texts at or above this size do not fit the 24-bit length field.
constexpr int32_t kMaxPlainLength = 16777216;

bool CanCentre(const RzWindow* reference, const RzWindow* window) {
    return reference != nullptr && window != nullptr && window->getWindowRect != nullptr &&
           window->moveWindow != nullptr && reference->getClientRect != nullptr &&
           reference->clientToScreen != nullptr;
}

// Moves the window onto the reference's client centre; 0 when a query fails.
int32_t Centre(RzWindow* reference, RzWindow* window) {
    RzRect windowRect{}, clientRect{};
    if (!window->getWindowRect(window, &windowRect)) return 0;
    if (!reference->getClientRect(reference, &clientRect)) return 0;
    RzPoint centre = raradozo::ClientCentre(clientRect);
    if (!reference->clientToScreen(reference, &centre)) return 0;
    const auto placement = raradozo::CentredPlacement(windowRect, centre);
    window->moveWindow(window, placement.x, placement.y, placement.width, placement.height, 0);
    return 1;
}

}  // namespace

extern "C" {

RARADOZO_API int32_t RARADOZO_CALL c_CenterForm(RzWindowHandle reference, RzWindowHandle window) {
    if (reference == window && window != nullptr) reference = window->desktop;
    if (!CanCentre(reference, window)) return 0;
    try {  // the callbacks belong to the caller's window system and might throw
        return Centre(reference, window);
    } catch (...) {
        return 0;
    }
}

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

RARADOZO_API void RARADOZO_CALL c_CryptBuffer(unsigned char* buffer, int32_t count,
                                              const char* key) {
    raradozo::XorBuffer(buffer, count, key);
}

// The stream is its own inverse, so decryption is the same entry under a second name.
RARADOZO_API void RARADOZO_CALL c_DeCryptBuffer(unsigned char* buffer, int32_t count,
                                                const char* key)
    __attribute__((alias("c_CryptBuffer")));

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
