// What the form's logic needs of its window: captions, enabled states, the timer, pumping,
// the Yes/No question, the fatal error box and the handle; the window also hears of every
// change of the status, for what it shows beside its controls. The Qt, headless and Win32
// windows implement it.
#pragma once

#include <chrono>
#include <string>

#include "form/Status.h"

namespace orvane {

// The controls the logic writes or reads, named as designed.
enum class Control {
    Label2,   // the status text
    Label4,   // the published address
    Label7,   // the countdown to the next cycle
    PBSet,    // publish at the next tick
    PBReset,  // restart the countdown
    PBPause,  // pause, or resume while paused
};

class FormWindow : public StatusObserver {
  public:
    virtual ~FormWindow() = default;

    virtual void SetCaption(Control control, const std::string& text) = 0;
    virtual std::string Caption(Control control) const = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual bool IsEnabled(Control control) const = 0;

    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;

    // Handles the window events that are pending now, then returns.
    virtual void PumpEvents() = 0;
    // Sleeps in the event loop until events arrive or `atMost` has passed, handling them.
    virtual void WaitForEvents(std::chrono::milliseconds atMost) = 0;

    // The modal question with Yes (the default) and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The message box of an error that ends the program.
    virtual void ShowFatalError(const std::string& text) = 0;
    // Asks the window to close once the current event returns; closes without the question.
    virtual void CloseWhenIdle() = 0;

    // The handle the support library's window service works on.
    virtual void* Handle() = 0;
};

}  // namespace orvane
