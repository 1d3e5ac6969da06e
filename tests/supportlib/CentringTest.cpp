// The arithmetic of a centred window's placement.
#include <gtest/gtest.h>

#include "raradozo/centring.h"

namespace {

struct CentringCase {
    const char* name;
    RzRect window, client;
    RzPoint clientOrigin;  // where the reference's client area starts on the screen
    raradozo::Placement expected;
};

class Centring : public testing::TestWithParam<CentringCase> {};

TEST_P(Centring, PlacesTheWindowOnTheClientCentre) {
    const auto& c = GetParam();
    RzPoint centre = raradozo::ClientCentre(c.client);
    centre.x += c.clientOrigin.x;
    centre.y += c.clientOrigin.y;
    const auto placement = raradozo::CentredPlacement(c.window, centre);
    EXPECT_EQ(placement.x, c.expected.x);
    EXPECT_EQ(placement.y, c.expected.y);
    EXPECT_EQ(placement.width, c.expected.width);
    EXPECT_EQ(placement.height, c.expected.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, Centring,
                         testing::Values(CentringCase{"OddWidthOnScreen",
                                                      {10, 20, 311, 220},
                                                      {0, 0, 1024, 768},
                                                      {0, 0},
                                                      {362, 284, 301, 200}},
                                         CentringCase{"OddScreenHalvesTruncate",
                                                      {0, 0, 100, 51},
                                                      {0, 0, 1023, 767},
                                                      {0, 0},
                                                      {461, 358, 100, 51}},
                                         CentringCase{"LargerThanScreenClampsToZero",
                                                      {0, 0, 1300, 900},
                                                      {0, 0, 1024, 768},
                                                      {0, 0},
                                                      {0, 0, 1300, 900}},
                                         CentringCase{"WiderOnlyClampsXOnly",
                                                      {0, 0, 1100, 100},
                                                      {0, 0, 1024, 768},
                                                      {0, 0},
                                                      {0, 334, 1100, 100}},
                                         CentringCase{"OnAnotherWindowsClientArea",
                                                      {0, 0, 200, 100},
                                                      {0, 0, 400, 300},
                                                      {300, 250},
                                                      {400, 350, 200, 100}},
                                         CentringCase{"RightAndBottomAreNotClamped",
                                                      {0, 0, 200, 100},
                                                      {0, 0, 400, 300},
                                                      {1000, 700},
                                                      {1100, 800, 200, 100}},
                                         CentringCase{"ExtremeRectanglesDoNotOverflow",
                                                      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                                                      {0, 0, 10, 10},
                                                      {0, 0},
                                                      {0, 0, INT32_MAX, INT32_MAX}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
