// The Win32 window: the controls of the main window laid out from twips at the screen's real
// resolution, forwarding its events to fOrvane and carrying out what the logic asks of a window.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "form/FormWindow.h"
#include "form/WindowLayout.h"

namespace orvane {

class fOrvane;

// Something more that lives on the window (the notification-area icon): it sees the window's
// messages first and hears of every change of the form's status.
class WindowCompanion {
  public:
    virtual ~WindowCompanion() = default;
    // True when the message was handled and the window should do nothing more with it.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void OnStatusChanged(const Status& status) = 0;
};

class Win32Window final : public FormWindow {
  public:
    // Creates the window and its controls, hidden; Show() shows it.
    explicit Win32Window(HINSTANCE instance);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void Attach(fOrvane* logic) { logic_ = logic; }
    void SetCompanion(WindowCompanion* companion) { companion_ = companion; }
    // Shows the window with the keyboard focus on PBSet.
    void Show(int showCommand);
    // Runs the message loop until the window is gone; the process's exit status.
    int Run();

    // FormWindow
    void SetCaption(Control control, const std::string& text) override;
    std::string Caption(Control control) const override;
    void SetEnabled(Control control, bool enabled) override;
    bool IsEnabled(Control control) const override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void PumpEvents() override;
    void WaitForEvents(std::chrono::milliseconds atMost) override;
    bool AskYesNo(const std::string& text) override;
    void ShowFatalError(const std::string& text) override;
    void CloseWhenIdle() override;
    void* Handle() override { return window_; }
    void StatusChanged(const Status& status) override {
        if (companion_) companion_->OnStatusChanged(status);
    }

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void AddControl(std::size_t index);
    void CloseWith(int16_t reason);
    HWND Child(Control control) const;
    // One message: keyboard navigation and access keys first, then the window procedure.
    void Dispatch(MSG& message);

    HWND window_ = nullptr;
    fOrvane* logic_ = nullptr;
    WindowCompanion* companion_ = nullptr;
    int dpi_ = 96;
    std::array<HFONT, kControls.size()> fonts_{};  // each control's, in the table's order
    int timerInterval_ = 0;
    bool timerRunning_ = false;
    bool closeFromControlMenu_ = false;
    HWND focusBeforeDeactivation_ = nullptr;
};

}  // namespace orvane
