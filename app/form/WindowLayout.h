// The main window's controls as designed, in tab order: place, caption, font, alignment and id.
// The Qt and Win32 windows both build themselves from this table.
#pragma once

#include <array>
#include <optional>

#include "form/FormWindow.h"

namespace orvane {

// Positions and sizes are in twips (1440 to the inch), relative to the client area.
inline constexpr int kClientWidthTwips = 5556;
inline constexpr int kClientHeightTwips = 2016;
// The face of every control's font, in the Western character set.
inline constexpr const char* kFontFamily = "MS Sans Serif";

enum ControlKind { kLabel, kCentredLabel, kButton };  // labels take no focus

struct ControlLayout {
    const char* name;
    int id;                          // what other programs (and the tests) find the control by
    std::optional<Control> control;  // none: a fixed caption the logic never touches
    ControlKind kind;
    const char* caption;  // "&" marks a button's access key
    int left, top, width, height;
    double points;
    bool bold;
};

// Labels first, so the keyboard focus moves among the buttons only, in their order here.
inline constexpr auto kControls = std::to_array<ControlLayout>({
    {"Label1", 101, {}, kLabel, "Status", 540, 300, 900, 396, 12, true},
    {"Label5", 105, {}, kCentredLabel, ":", 1680, 300, 168, 396, 12, true},
    {"Label2", 102, Control::Label2, kLabel, "Label2", 2040, 300, 3360, 396, 12, true},
    {"Label3", 103, {}, kLabel, "IP", 540, 900, 900, 396, 12, true},
    {"Label6", 106, {}, kCentredLabel, ":", 1680, 900, 168, 396, 12, true},
    {"Label4", 104, Control::Label4, kLabel, "Label4", 2040, 900, 3300, 396, 12, true},
    {"Label7", 107, Control::Label7, kCentredLabel, "Label7", 4740, 1680, 612, 240, 9.6, false},
    {"PBSet", 201, Control::PBSet, kButton, "P&ubblica", 960, 1560, 972, 372, 7.8, false},
    {"PBReset", 202, Control::PBReset, kButton, "R&icomicia", 2220, 1560, 972, 372, 7.8, false},
    {"PBPause", 203, Control::PBPause, kButton, "&Pausa", 3420, 1560, 972, 372, 7.8, false},
});

constexpr const ControlLayout& LayoutOf(Control control) {
    for (const ControlLayout& layout : kControls)
        if (layout.control == control) return layout;
    return kControls.front();  // unreachable: every Control has its row
}

// Twips to whole pixels at `dpi` dots per inch, rounded to the nearest.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

struct PixelRect {
    int left, top, width, height;
};

constexpr PixelRect InPixels(const ControlLayout& layout, int dpi) {
    return {TwipsToPixels(layout.left, dpi), TwipsToPixels(layout.top, dpi),
            TwipsToPixels(layout.width, dpi), TwipsToPixels(layout.height, dpi)};
}

}  // namespace orvane
