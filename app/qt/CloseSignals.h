// SIGTERM, SIGHUP and SIGINT as the system's request to close the window: the handler only
// writes to a pipe, and the event loop turns that into a close without the question.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace orvane {

// Installs the handlers; call first thing in main, so no signal is lost before the window exists.
void InstallCloseSignals();

// Calls `onClose` from the event loop for every close signal received (also those received
// before it was created).
class CloseSignalNotifier : public QObject {
    Q_OBJECT
public:
    explicit CloseSignalNotifier(std::function<void()> onClose, QObject* parent = nullptr);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onClose_;
};

}  // namespace orvane
