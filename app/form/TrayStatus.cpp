// The notification-area icon's tooltip, mark and menu state from the form's status.
#include "form/TrayStatus.h"

namespace orvane {

namespace {

TrayMark MarkOf(const Status& status) {
    if (status.paused) return TrayMark::Paused;
    switch (status.kind) {
        case Status::Kind::Blank: return TrayMark::None;  // before the first cycle, during one
        case Status::Kind::Online: return TrayMark::Published;
        case Status::Kind::Offline:
        case Status::Kind::Error: return TrayMark::Problem;
    }
    return TrayMark::None;
}

// The countdown as the window shows it: below zero no cycle starts by itself.
std::string CountdownLine(const Status& status) {
    if (status.paused) return "In pausa";
    if (status.secondsLeft < 0) return "Nessun invio in programma";
    return "Prossimo invio tra " + std::to_string(status.secondsLeft) + " s";
}

void AddLine(std::string& text, const std::string& line) {
    if (!line.empty()) text += "\n" + line;
}

}  // namespace

TrayStatus TrayStatusOf(const Status& status) {
    const std::string caption = StatusCaption(status);
    TrayStatus tray;
    tray.toolTip = "Orvane";
    AddLine(tray.toolTip, caption.empty() ? "" : "Status: " + caption);
    AddLine(tray.toolTip, status.address.empty() ? "" : "IP: " + status.address);
    AddLine(tray.toolTip,
            status.unroutable.empty() ? "" : "Indirizzo non pubblico: " + status.unroutable);
    for (const TargetStatus& target : status.targets)
        AddLine(tray.toolTip, target.name + ": " + target.outcome);
    AddLine(tray.toolTip, CountdownLine(status));
    tray.mark = MarkOf(status);
    tray.pauseEntry = status.paused ? "Riprendi" : "Pausa";
    tray.canPublish = !status.paused;
    return tray;
}

std::optional<uint32_t> TrayMarkColour(TrayMark mark) {
    switch (mark) {
        case TrayMark::None: return std::nullopt;
        case TrayMark::Published: return 0x20C020;
        case TrayMark::Problem: return 0xE02020;
        case TrayMark::Paused: return 0xF0C000;
    }
    return std::nullopt;
}

}  // namespace orvane
