// The Windows exports: c_CenterForm on the window system's own calls, the buffer entry (the
// module-definition file gives it its second name) and the entry routine.
#include <windows.h>

#include <cstdint>

#include "raradozo/centring.h"
#include "raradozo/cipher.h"
#include "raradozo/raradozo.h"

namespace {

// The library's instance handle, recorded on every notification; nothing reads it.
HINSTANCE libraryInstance = nullptr;

RzRect ToRzRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    libraryInstance = instance;
    return TRUE;
}

RARADOZO_API int32_t RARADOZO_CALL c_CenterForm(RzWindowHandle reference, RzWindowHandle window) {
    HWND target = static_cast<HWND>(window);
    HWND container = reference == window ? GetDesktopWindow() : static_cast<HWND>(reference);
    RECT windowRect{}, clientRect{};
    if (!GetWindowRect(target, &windowRect) || !GetClientRect(container, &clientRect)) return 0;
    const RzPoint middle = raradozo::ClientCentre(ToRzRect(clientRect));
    POINT centre{middle.x, middle.y};
    if (!ClientToScreen(container, &centre)) return 0;
    const auto placement = raradozo::CentredPlacement(ToRzRect(windowRect), {centre.x, centre.y});
    MoveWindow(target, placement.x, placement.y, placement.width, placement.height, FALSE);
    return 1;
}

// The stream is its own inverse: c_DeCryptBuffer is this same entry under a second name.
RARADOZO_API void RARADOZO_CALL c_CryptBuffer(unsigned char* buffer, int32_t count,
                                              const char* key) {
    raradozo::XorBuffer(buffer, count, key);
}

}  // extern "C"
