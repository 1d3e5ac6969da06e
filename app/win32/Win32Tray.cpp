// The Win32 notification-area icon: draws what the tray status says with Shell_NotifyIconA and
// forwards its menu and clicks to the window's own handlers.
#include "win32/Win32Tray.h"

#include <cstring>

#include "form/fOrvane.h"

namespace orvane {

namespace {

constexpr UINT kIconId = 1;
constexpr UINT kTrayMessage = WM_APP + 2;
constexpr int kIconResource = 1;
constexpr int kIconSize = 32;

// The program's icon with the state's disc drawn on it, the disc opaque in the mask too.
HICON MarkedIcon(HICON programIcon, TrayMark mark) {
    const auto colour = TrayMarkColour(mark);
    if (!colour) return CopyIcon(programIcon);
    ICONINFO info{};
    if (!GetIconInfo(programIcon, &info)) return CopyIcon(programIcon);
    HDC dc = CreateCompatibleDC(nullptr);
    const auto DrawDisc = [dc](HBITMAP bitmap, HBRUSH brush, HPEN pen) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        Ellipse(dc, kTrayMarkLeft, kTrayMarkLeft, kTrayMarkLeft + kTrayMarkSize,
                kTrayMarkLeft + kTrayMarkSize);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldBitmap);
    };
    HBRUSH brush = CreateSolidBrush(RGB(*colour >> 16, (*colour >> 8) & 0xFF, *colour & 0xFF));
    HPEN rim = CreatePen(PS_SOLID, 1, RGB(0x20, 0x20, 0x20));
    DrawDisc(info.hbmColor, brush, rim);
    DrawDisc(info.hbmMask, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
             static_cast<HPEN>(GetStockObject(BLACK_PEN)));
    DeleteObject(rim);
    DeleteObject(brush);
    DeleteDC(dc);
    HICON marked = CreateIconIndirect(&info);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return marked ? marked : CopyIcon(programIcon);
}

HWND WindowOf(Win32Window& window) { return static_cast<HWND>(window.Handle()); }

}  // namespace

Win32Tray::Win32Tray(Win32Window& window, fOrvane& logic, HINSTANCE instance)
    : window_(window),
      logic_(logic),
      programIcon_(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource),
                                                 IMAGE_ICON, kIconSize, kIconSize, 0))),
      taskbarCreated_(RegisterWindowMessageA("TaskbarCreated")) {
    window_.SetCompanion(this);
    OnStatusChanged(logic_.CurrentStatus());
    Add();
}

Win32Tray::~Win32Tray() {
    window_.SetCompanion(nullptr);
    Remove();
    if (icon_) DestroyIcon(icon_);
    if (programIcon_) DestroyIcon(programIcon_);
}

NOTIFYICONDATAA Win32Tray::IconData(UINT flags) const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = WindowOf(window_);
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon_;
    if (shown_) {
        std::strncpy(data.szTip, shown_->toolTip.c_str(), sizeof data.szTip - 1);
    }
    return data;
}

void Win32Tray::Add() {
    NOTIFYICONDATAA data = IconData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    added_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

void Win32Tray::Remove() {
    if (!added_) return;
    NOTIFYICONDATAA data = IconData(0);
    Shell_NotifyIconA(NIM_DELETE, &data);
    added_ = false;
}

// Runs at every change of the status, so once a second: only what changed goes out.
void Win32Tray::OnStatusChanged(const Status& form) {
    const TrayStatus status = TrayStatusOf(form);
    UINT changed = 0;
    if (!shown_ || shown_->mark != status.mark) {
        if (icon_) DestroyIcon(icon_);
        icon_ = MarkedIcon(programIcon_, status.mark);
        changed |= NIF_ICON;
    }
    if (!shown_ || shown_->toolTip != status.toolTip) changed |= NIF_TIP;
    shown_ = status;
    if (added_ && changed != 0) {
        NOTIFYICONDATAA data = IconData(changed);
        Shell_NotifyIconA(NIM_MODIFY, &data);
    }
}

bool Win32Tray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_) {  // Explorer restarted: its notification area is new
        added_ = false;
        Add();
        return true;
    }
    switch (message) {
        case kTrayMessage:
            if (lParam == WM_LBUTTONUP) ToggleWindow();
            if (lParam == WM_RBUTTONUP) ShowMenu();
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0 || LOWORD(wParam) < kTrayPublish || LOWORD(wParam) > kTrayExit)
                return false;
            Command(LOWORD(wParam));
            return true;
        case WM_DESTROY:
            Remove();  // the icon goes with the window
            return false;
    }
    return false;
}

void Win32Tray::Command(int id) {
    switch (id) {
        case kTrayPublish:
            // As the button: nothing while it is disabled (paused).
            if (window_.IsEnabled(Control::PBSet)) logic_.ClickSet();
            break;
        case kTrayPause: logic_.ClickPause(); break;
        case kTrayShow: ShowWindow(); break;
        case kTrayExit:
            // The close box's own way, so the same question comes.
            PostMessageA(WindowOf(window_), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

void Win32Tray::ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuA(menu, MF_STRING | (shown_->canPublish ? 0 : MF_GRAYED), kTrayPublish,
                kTrayPublishEntry);
    AppendMenuA(menu, MF_STRING, kTrayPause, shown_->pauseEntry.c_str());
    AppendMenuA(menu, MF_STRING, kTrayShow, kTrayShowEntry);
    AppendMenuA(menu, MF_STRING, kTrayExit, kTrayExitEntry);
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the window is in the foreground.
    SetForegroundWindow(WindowOf(window_));
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, WindowOf(window_), nullptr);
    PostMessageA(WindowOf(window_), WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void Win32Tray::ToggleWindow() {
    HWND window = WindowOf(window_);
    if (IsWindowVisible(window) && !IsIconic(window))
        ::ShowWindow(window, SW_HIDE);
    else
        ShowWindow();
}

void Win32Tray::ShowWindow() {
    HWND window = WindowOf(window_);
    ::ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
}

}  // namespace orvane
