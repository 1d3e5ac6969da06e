// A window as the support library's centring sees it on Linux: rectangles it reports and the
// last move it was asked for.
#pragma once

#include <cstdint>
#include <vector>

#include "raradozo/raradozo.h"

namespace orvane::test {

struct FakeWindow {
    RzRect outer{}, client{};
    RzPoint clientOrigin{};  // the client area's top-left corner on the screen
    RzWindow handle{};
    std::vector<int32_t> move;  // x, y, width, height, repaint of the last MoveWindow

    FakeWindow(RzRect outerRect, RzRect clientRect, RzPoint origin, RzWindow* desktop = nullptr)
        : outer(outerRect), client(clientRect), clientOrigin(origin) {
        handle = {desktop, &GetWindowRect, &GetClientRect, &ClientToScreen, &MoveWindow, this};
    }
    static FakeWindow& Of(RzWindow* self) { return *static_cast<FakeWindow*>(self->context); }
    static int GetWindowRect(RzWindow* self, RzRect* out) { return *out = Of(self).outer, 1; }
    static int GetClientRect(RzWindow* self, RzRect* out) { return *out = Of(self).client, 1; }
    static int ClientToScreen(RzWindow* self, RzPoint* point) {
        point->x += Of(self).clientOrigin.x;
        point->y += Of(self).clientOrigin.y;
        return 1;
    }
    static int MoveWindow(RzWindow* self, int32_t x, int32_t y, int32_t w, int32_t h, int32_t r) {
        Of(self).move = {x, y, w, h, r};
        return 1;
    }
};

}  // namespace orvane::test
