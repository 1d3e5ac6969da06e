// The notification-area icon's tooltip, mark and menu state from the window's captions.
#include "form/TrayStatus.h"

namespace orvane {

namespace {

TrayMark MarkOf(const std::string& status, bool paused) {
    if (paused) return TrayMark::Paused;
    if (status == "Online") return TrayMark::Published;
    if (status == "Offline" || status.starts_with("Errore")) return TrayMark::Problem;
    return TrayMark::None;  // before the first cycle and while one runs
}

// The countdown caption is what the window shows: below zero no cycle starts by itself.
std::string CountdownLine(const std::string& countdown, bool paused) {
    if (paused) return "In pausa";
    if (countdown.empty()) return {};
    if (countdown.front() == '-') return "Nessun invio in programma";
    return "Prossimo invio tra " + countdown + " s";
}

void AddLine(std::string& text, const std::string& line) {
    if (!line.empty()) text += "\n" + line;
}

}  // namespace

TrayStatus TrayStatusOf(const FormWindow& window, const MainState& state) {
    const bool paused = state.Paused != kFalse;
    const std::string status = window.Caption(Control::Label2);
    const std::string address = window.Caption(Control::Label4);
    TrayStatus tray;
    tray.toolTip = "Orvane";
    AddLine(tray.toolTip, status.empty() ? "" : "Status: " + status);
    AddLine(tray.toolTip, address.empty() ? "" : "IP: " + address);
    AddLine(tray.toolTip, CountdownLine(window.Caption(Control::Label7), paused));
    tray.mark = MarkOf(status, paused);
    tray.pauseEntry = paused ? "Riprendi" : "Pausa";
    tray.canPublish = !paused;
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
