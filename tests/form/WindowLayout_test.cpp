// The window's layout table against what any layout of it must satisfy.
#include "form/WindowLayout.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace orvane {
namespace {

bool Overlap(const ControlLayout& a, const ControlLayout& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(WindowLayoutTest, ControlsFitTheClientAreaWithoutOverlapping) {
    for (const ControlLayout& c : kControls) {
        EXPECT_TRUE(c.left >= 0 && c.top >= 0 && c.width > 0 && c.height > 0) << c.name;
        EXPECT_LE(c.left + c.width, kClientWidthTwips) << c.name;
        EXPECT_LE(c.top + c.height, kClientHeightTwips) << c.name;
        for (const ControlLayout& other : kControls)
            EXPECT_TRUE(&other == &c || !Overlap(c, other)) << c.name << " and " << other.name;
    }
}

TEST(WindowLayoutTest, FocusMovesAmongTheButtonsAndEachHasItsOwnIdAndAccessKey) {
    std::string buttons;
    std::set<int> ids, keys;
    for (const ControlLayout& c : kControls) {
        EXPECT_TRUE(ids.insert(c.id).second) << c.name << ": its id is taken";
        if (c.kind != kButton) {
            EXPECT_TRUE(buttons.empty()) << c.name << ": a label after the buttons";
            continue;
        }
        buttons += std::string(buttons.empty() ? "" : " ") + c.name;
        const std::string caption = c.caption;
        const auto amp = caption.find('&');
        ASSERT_LT(amp + 1, caption.size()) << c.name << ": no access key";
        EXPECT_TRUE(keys.insert(std::tolower(caption[amp + 1])).second) << c.name << ": key taken";
    }
    EXPECT_EQ(buttons, "PBSet PBReset PBPause");
    for (int c = 0; c <= static_cast<int>(Control::PBPause); ++c)
        EXPECT_EQ(LayoutOf(Control(c)).control, Control(c)) << "Control " << c << " has no row";
}

TEST(WindowLayoutTest, TwipsRoundToTheNearestPixel) {
    const struct {
        int twips, dpi, pixels;
    } cases[] = {{kClientWidthTwips, 96, 370},
                 {kClientHeightTwips, 96, 134},
                 {kClientWidthTwips, 120, 463},
                 {kClientHeightTwips, 120, 168},
                 {7, 96, 0},
                 {8, 96, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
}

}  // namespace
}  // namespace orvane
