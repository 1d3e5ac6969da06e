// The notification-area icon on Windows: the program's icon with a state mark, a tooltip with
// the status, the address and the countdown, and a menu working the same handlers as the buttons.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "form/TrayStatus.h"
#include "win32/Win32Window.h"

namespace orvane {

class fOrvane;

// The menu's commands, as WM_COMMAND identifiers.
enum TrayCommand : int { kTrayPublish = 301, kTrayPause, kTrayShow, kTrayExit };

class Win32Tray final : public WindowCompanion {
  public:
    // Adds the icon where the taskbar has a notification area; where it has none the window
    // stays the only view, and the icon comes when Explorer (re)starts.
    Win32Tray(Win32Window& window, fOrvane& logic, HINSTANCE instance);
    ~Win32Tray() override;
    Win32Tray(const Win32Tray&) = delete;
    Win32Tray& operator=(const Win32Tray&) = delete;

    bool Shown() const { return added_; }

    // WindowCompanion
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnStatusChanged(const Status& status) override;

  private:
    NOTIFYICONDATAA IconData(UINT flags) const;
    void Add();
    void Remove();
    void Command(int id);
    void ShowMenu();
    void ToggleWindow();
    void ShowWindow();

    Win32Window& window_;
    fOrvane& logic_;
    HICON programIcon_ = nullptr;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool added_ = false;
    std::optional<TrayStatus> shown_;
};

}  // namespace orvane
