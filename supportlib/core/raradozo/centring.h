// Where a centred window goes: the arithmetic of c_CenterForm, apart from any window system.
#pragma once

#include <cstdint>

#include "raradozo/raradozo.h"

namespace raradozo {

// A window's new outer rectangle as MoveWindow takes it: position and unchanged size.
struct Placement {
    int32_t x, y, width, height;
};

// The middle of a client rectangle in its own coordinates, each half truncated toward zero.
RzPoint ClientCentre(const RzRect& clientRect);

// Keeps the window's size and puts its middle on `centreOnScreen` (halves truncated toward
// zero); a negative x or y becomes 0, nothing else is clamped.
Placement CentredPlacement(const RzRect& windowRect, RzPoint centreOnScreen);

}  // namespace raradozo
