// The headless window over fOrvane: state kept in memory, the timer and waits in the core event
// loop, status lines on standard error, and the service manager's notifications.
#include "headless/HeadlessWindow.h"

#include <unistd.h>

#include <QCoreApplication>

#include "form/fOrvane.h"
#include "loop/CoreEventLoop.h"

namespace orvane {

namespace {

int NoRect(RzWindow*, RzRect* out) {
    *out = {0, 0, 0, 0};
    return 1;
}
int SamePoint(RzWindow*, RzPoint*) { return 1; }
int NoMove(RzWindow*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }

// The journal's priorities: informational, warning, error.
const char* PriorityPrefix(const std::string& status) {
    if (status == "Online") return "<6>";
    if (status == "Offline") return "<4>";
    return "<3>";
}

void WriteToStderr(const std::string& text) {
    // A reader that has gone away loses the line; the log has it.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace

HeadlessWindow::HeadlessWindow(ServiceManager manager) : manager_(std::move(manager)) {
    enabled_.fill(true);
    // The tick is posted, as in the window, so that ticks keep coming while a cycle waits.
    connect(&timer1_, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { logic_->Tick(); }, Qt::QueuedConnection);
    });
    // A cycle sets the status and then the address: the report waits until both are set.
    report_.setSingleShot(true);
    report_.setInterval(0);
    connect(&report_, &QTimer::timeout, this, [this] { ReportStatus(); });
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
    if (control == Control::Label2 || control == Control::Label4) report_.start();
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

void HeadlessWindow::ReportStatus() {
    const std::string& status = Caption(Control::Label2);
    if (status.empty()) return;  // a cycle has begun and not yet ended
    const std::string& address = Caption(Control::Label4);
    const std::string line = address.empty() ? status : status + " " + address;
    manager_.Notify("STATUS=" + line);
    if (line == lastLine_) return;
    lastLine_ = line;
    WriteStatusLine(status, line);
}

void HeadlessWindow::WriteStatusLine(const std::string& status, const std::string& line) const {
    if (manager_.StderrIsJournal())
        WriteToStderr(PriorityPrefix(status) + line + "\n");
    else
        WriteToStderr("Orvane: " + line + "\n");
}

}  // namespace orvane
