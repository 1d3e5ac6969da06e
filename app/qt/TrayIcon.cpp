// The Qt notification-area icon: draws what the tray status says and forwards its menu and
// clicks to the window's own handlers.
#include "qt/TrayIcon.h"

#include <QPainter>

#include "form/fOrvane.h"
#include "qt/OrvaneWindow.h"

namespace orvane {

namespace {

QIcon MarkedIcon(const QIcon& programIcon, TrayMark mark) {
    QPixmap pixmap = programIcon.pixmap(QSize(32, 32));
    if (const auto colour = TrayMarkColour(mark)) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x202020), 1.5));
        painter.setBrush(QColor::fromRgb(*colour));
        painter.drawEllipse(QRectF(kTrayMarkLeft, kTrayMarkLeft, kTrayMarkSize, kTrayMarkSize));
    }
    return QIcon(pixmap);
}

}  // namespace

TrayIcon::TrayIcon(OrvaneWindow& window, fOrvane& logic)
    : window_(window), logic_(logic), menu_(&window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    publish_ = menu_.addAction(kTrayPublishEntry, [this] { logic_.ClickSet(); });
    pause_ = menu_.addAction(QString(), [this] { logic_.ClickPause(); });
    menu_.addAction(kTrayShowEntry, [this] { ShowWindow(); });
    menu_.addAction(kTrayExitEntry, [this] { window_.close(); });  // asks, as the close box does

    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(&menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) ToggleWindow();
            });
    connect(&window_, &OrvaneWindow::StatusShown, this, &TrayIcon::Refresh);
    Refresh(logic_.CurrentStatus());
    icon_->show();
}

// Runs at every change of the status, so once a second: only what changed goes out.
void TrayIcon::Refresh(const Status& form) {
    const TrayStatus status = TrayStatusOf(form);
    if (shown_ == status) return;
    if (!shown_ || shown_->mark != status.mark)
        icon_->setIcon(MarkedIcon(window_.windowIcon(), status.mark));
    if (!shown_ || shown_->toolTip != status.toolTip)
        icon_->setToolTip(QString::fromStdString(status.toolTip));
    pause_->setText(QString::fromStdString(status.pauseEntry));
    publish_->setEnabled(status.canPublish);
    shown_ = status;
}

void TrayIcon::ToggleWindow() {
    if (window_.isVisible() && !window_.isMinimized())
        window_.hide();
    else
        ShowWindow();
}

void TrayIcon::ShowWindow() {
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

}  // namespace orvane
