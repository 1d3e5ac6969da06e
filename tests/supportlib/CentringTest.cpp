// The arithmetic of a centred window's placement.
#include "raradozo/centring.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// The reference's client area starts at `origin` on the screen.
TEST(Centring, PlacesTheWindowOnTheClientCentre) {
    const struct {
        RzRect window, client;
        RzPoint origin;
        std::array<int32_t, 4> expected;  // x, y, width, height
    } cases[] = {
        {{10, 20, 311, 220}, {0, 0, 1024, 768}, {0, 0}, {362, 284, 301, 200}},
        {{0, 0, 100, 51}, {0, 0, 1023, 767}, {0, 0}, {461, 358, 100, 51}},  // halves truncate
        {{0, 0, 1300, 900}, {0, 0, 1024, 768}, {0, 0}, {0, 0, 1300, 900}},  // clamped to 0
        {{0, 0, 200, 100}, {0, 0, 400, 300}, {1000, 700}, {1100, 800, 200, 100}},  // a window
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         {0, 0, 10, 10},
         {0, 0},  // no overflow
         {0, 0, INT32_MAX, INT32_MAX}},
    };
    for (const auto& c : cases) {
        RzPoint centre = raradozo::ClientCentre(c.client);
        centre.x += c.origin.x;
        centre.y += c.origin.y;
        const auto placement = raradozo::CentredPlacement(c.window, centre);
        EXPECT_EQ((std::array{placement.x, placement.y, placement.width, placement.height}),
                  c.expected)
            << c.expected[0];
    }
}

}  // namespace
