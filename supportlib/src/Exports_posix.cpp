// The POSIX exports: c_CenterForm over the window service the caller supplies, and the buffer
// entry under its two names.
#include <cstdint>

#include "raradozo/centring.h"
#include "raradozo/cipher.h"
#include "raradozo/raradozo.h"

namespace {

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

RARADOZO_API void RARADOZO_CALL c_CryptBuffer(unsigned char* buffer, int32_t count,
                                              const char* key) {
    raradozo::XorBuffer(buffer, count, key);
}

// The stream is its own inverse, so decryption is the same entry under a second name.
RARADOZO_API void RARADOZO_CALL c_DeCryptBuffer(unsigned char* buffer, int32_t count,
                                                const char* key)
    __attribute__((alias("c_CryptBuffer")));

}  // extern "C"
