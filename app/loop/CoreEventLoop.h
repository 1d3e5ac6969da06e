// The event-loop steps both Qt windows (with widgets and headless) give the form: handle what
// is pending, or sleep until events come or a bound passes. QtCore only.
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <chrono>

namespace orvane {

inline void PumpCoreEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// The single-shot timer wakes the loop when nothing else does, so the wait is bounded.
inline void WaitForCoreEvents(std::chrono::milliseconds atMost) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(atMost);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace orvane
