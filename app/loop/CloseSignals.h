// The process's signals: SIGTERM, SIGHUP, SIGINT and SIGQUIT as the system's request to close,
// SIGUSR1 as "publish now"; SIGPIPE and SIGALRM ignored. The handler only writes to a pipe,
// and the event loop turns that into the action.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace orvane {

// Installs the handlers; call first thing in main, so that no signal is lost before the window
// exists and a closed standard error never ends the program.
void InstallCloseSignals();

// Calls `onClose` from the event loop for every close signal received, and `onPublish` for
// SIGUSR1 (also for those received before it was created). A close outranks a publish that
// arrived with it.
class CloseSignalNotifier : public QObject {
    Q_OBJECT
  public:
    CloseSignalNotifier(std::function<void()> onClose, std::function<void()> onPublish,
                        QObject* parent = nullptr);

  private:
    void Dispatch();

    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onClose_;
    std::function<void()> onPublish_;
};

}  // namespace orvane
