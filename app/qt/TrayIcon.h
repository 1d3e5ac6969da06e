// The notification-area icon on Linux: the program's icon with a state mark, a tooltip with the
// status, the address and the countdown, and a menu working the same handlers as the buttons.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <optional>

#include "form/TrayStatus.h"

namespace orvane {

class OrvaneWindow;
class fOrvane;

class TrayIcon final : public QObject {
    Q_OBJECT

  public:
    // Shows the icon where the desktop has a notification area; elsewhere does nothing, and the
    // window stays the only view. The icon goes with this object.
    TrayIcon(OrvaneWindow& window, fOrvane& logic);

    bool Shown() const { return icon_ != nullptr; }

  private:
    void Refresh(const Status& status);
    void ToggleWindow();
    void ShowWindow();

    OrvaneWindow& window_;
    fOrvane& logic_;
    QMenu menu_;
    QAction* publish_ = nullptr;
    QAction* pause_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
    std::optional<TrayStatus> shown_;
};

}  // namespace orvane
