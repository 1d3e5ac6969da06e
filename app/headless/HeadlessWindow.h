// The window of the headless mode: no widgets and no display. It keeps the captions and enabled
// states the form sets, runs the timer in Qt's core event loop, reports each cycle's result to
// the reporter (standard error, the journal) and to the service manager, and closes only when
// the system asks.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <string>

#include "form/FormWindow.h"
#include "headless/ServiceManager.h"
#include "raradozo/raradozo.h"

namespace orvane {

class fOrvane;

class HeadlessWindow final : public QObject, public FormWindow {
    Q_OBJECT

  public:
    explicit HeadlessWindow(ServiceManager manager);

    void Attach(fOrvane* logic) { logic_ = logic; }
    // Start-up has succeeded: tells the service manager and starts its watchdog.
    void Started();
    // A close that the system asks for (a signal): no question; the event loop ends once the
    // form has unloaded.
    void CloseBySystem();

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
    void* Handle() override { return &self_; }
    void StatusChanged(const Status& status) override;

  private:
    void ReportResult();

    static constexpr std::size_t kControls = 6;

    ServiceManager manager_;
    fOrvane* logic_ = nullptr;
    std::array<std::string, kControls> captions_{};
    std::array<bool, kControls> enabled_{};
    QTimer timer1_;
    QTimer report_;
    QTimer watchdog_;
    Status result_;               // the last cycle's result, reported once it has settled
    bool awaitingResult_ = true;  // a cycle has begun since that result
    std::string lastLine_;        // the line the reporter last got
    bool stopping_ = false;

    // A screen of no size for the support library's window service: centring moves nothing.
    RzWindow self_{};
    RzWindow desktop_{};
};

}  // namespace orvane
