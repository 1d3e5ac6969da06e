// The headless window over fOrvane: state kept in memory, the timer and waits in the core event
// loop, each cycle's result to the reporter and the service manager.
#include "headless/HeadlessWindow.h"

#include <QCoreApplication>

#include "form/fOrvane.h"
#include "loop/CoreEventLoop.h"
#include "runtime/Reporter.h"

namespace orvane {

namespace {

int NoRect(RzWindow*, RzRect* out) {
    *out = {0, 0, 0, 0};
    return 1;
}
int SamePoint(RzWindow*, RzPoint*) { return 1; }
int NoMove(RzWindow*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }

}  // namespace

HeadlessWindow::HeadlessWindow(ServiceManager manager) : manager_(std::move(manager)) {
    enabled_.fill(true);
    // The tick is posted, as in the window, so that ticks keep coming while a cycle waits.
    connect(&timer1_, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { logic_->Tick(); }, Qt::QueuedConnection);
    });
    // A result that a later step of the same cycle replaces (an error after "Online") is not
    // reported: the report waits until the cycle has returned to the event loop.
    report_.setSingleShot(true);
    report_.setInterval(0);
    connect(&report_, &QTimer::timeout, this, [this] { ReportResult(); });
    connect(&watchdog_, &QTimer::timeout, this, [this] { manager_.Notify("WATCHDOG=1"); });
    desktop_ = RzWindow{nullptr, NoRect, NoRect, SamePoint, NoMove, nullptr};
    desktop_.desktop = &desktop_;
    self_ = RzWindow{&desktop_, NoRect, NoRect, SamePoint, NoMove, this};
}

void HeadlessWindow::Started() {
    manager_.Notify("READY=1");
    if (const auto period = manager_.WatchdogPeriod()) watchdog_.start(*period);
}

void HeadlessWindow::CloseBySystem() {
    if (!stopping_) {
        stopping_ = true;
        manager_.Notify("STOPPING=1");
    }
    if (logic_ == nullptr || logic_->CloseRequested(kCloseBySystem)) QCoreApplication::quit();
}

void HeadlessWindow::SetCaption(Control control, const std::string& text) {
    captions_[static_cast<std::size_t>(control)] = text;
}

std::string HeadlessWindow::Caption(Control control) const {
    return captions_[static_cast<std::size_t>(control)];
}

void HeadlessWindow::SetEnabled(Control control, bool enabled) {
    enabled_[static_cast<std::size_t>(control)] = enabled;
}

bool HeadlessWindow::IsEnabled(Control control) const {
    return enabled_[static_cast<std::size_t>(control)];
}

void HeadlessWindow::SetTimerInterval(int milliseconds) { timer1_.setInterval(milliseconds); }

void HeadlessWindow::SetTimerEnabled(bool enabled) {
    if (enabled)
        timer1_.start();
    else
        timer1_.stop();
}

void HeadlessWindow::PumpEvents() { PumpCoreEvents(); }

void HeadlessWindow::WaitForEvents(std::chrono::milliseconds atMost) { WaitForCoreEvents(atMost); }

// Nobody is there to answer: only the system closes a headless program, and it is not asked.
bool HeadlessWindow::AskYesNo(const std::string&) { return true; }

// The form has written the error to standard error already.
void HeadlessWindow::ShowFatalError(const std::string&) {}

void HeadlessWindow::CloseWhenIdle() {
    QMetaObject::invokeMethod(
        this, [this] { CloseBySystem(); }, Qt::QueuedConnection);
}

// Each cycle's result is reported once; ticks and pauses change nothing of it.
void HeadlessWindow::StatusChanged(const Status& status) {
    if (status.kind == Status::Kind::Blank) {
        awaitingResult_ = true;
        return;
    }
    if (!awaitingResult_ && StatusLine(status) == StatusLine(result_)) return;
    awaitingResult_ = false;
    result_ = status;
    report_.start();
}

// The manager hears of every result; the reporter only of a line that differs from the last.
void HeadlessWindow::ReportResult() {
    const std::string line = StatusLine(result_);
    manager_.Notify("STATUS=" + line);
    if (line == lastLine_) return;
    lastLine_ = line;
    Report(PriorityOf(result_), line);
}

}  // namespace orvane
