// The placement arithmetic of a centred window.
#include "raradozo/centring.h"

#include <algorithm>
#include <limits>

namespace raradozo {
namespace {

// Coordinates are worked out in 64 bits so extreme rectangles cannot overflow, then kept
// within what the window system takes.
int32_t ToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

RzPoint ClientCentre(const RzRect& clientRect) {
    const int64_t width = int64_t{clientRect.right} - clientRect.left;
    const int64_t height = int64_t{clientRect.bottom} - clientRect.top;
    return {ToInt32(width / 2), ToInt32(height / 2)};
}

Placement CentredPlacement(const RzRect& windowRect, RzPoint centreOnScreen) {
    const int64_t width = int64_t{windowRect.right} - windowRect.left;
    const int64_t height = int64_t{windowRect.bottom} - windowRect.top;
    const int64_t x = std::max<int64_t>(0, centreOnScreen.x - width / 2);
    const int64_t y = std::max<int64_t>(0, centreOnScreen.y - height / 2);
    return {ToInt32(x), ToInt32(y), ToInt32(width), ToInt32(height)};
}

}  // namespace raradozo
