// What the notification-area icon shows: its tooltip, its state mark and the state of its menu,
// worked out from the form's status, so both platforms show the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "form/Status.h"

namespace orvane {

enum class TrayMark { None, Published, Problem, Paused };

struct TrayStatus {
    std::string toolTip;
    TrayMark mark = TrayMark::None;
    std::string pauseEntry;  // the menu's pause entry: "Pausa", or "Riprendi" while paused
    bool canPublish = true;  // the menu's "Pubblica" works when the button does
    bool operator==(const TrayStatus&) const = default;
};

// The menu's other entries.
inline constexpr const char* kTrayPublishEntry = "Pubblica";
inline constexpr const char* kTrayShowEntry = "Mostra";
inline constexpr const char* kTrayExitEntry = "Esci";

TrayStatus TrayStatusOf(const Status& status);

// The mark is a disc with a dark rim in the lower right corner of the 32 x 32 icon.
inline constexpr int kTrayMarkLeft = 17;
inline constexpr int kTrayMarkSize = 14;
// The disc's colour as 0xRRGGBB; nothing for TrayMark::None.
std::optional<uint32_t> TrayMarkColour(TrayMark mark);

}  // namespace orvane
