// The Qt window over fOrvane: layout, fonts, timer, pumping, the question and error boxes, and
// the window service the support library centres it through.
#include "qt/OrvaneWindow.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "form/fOrvane.h"
#include "loop/CoreEventLoop.h"
#include "qt/orvane_icon.xpm"

namespace orvane {

namespace {

QWidget* AsWidget(RzWindow* window) { return static_cast<QWidget*>(window->context); }

int WindowRect(RzWindow* self, RzRect* out) {
    const QRect frame = AsWidget(self)->frameGeometry();
    *out = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    return 1;
}

int ClientRect(RzWindow* self, RzRect* out) {
    *out = {0, 0, AsWidget(self)->width(), AsWidget(self)->height()};
    return 1;
}

int ClientToScreen(RzWindow* self, RzPoint* point) {
    const QPoint global = AsWidget(self)->mapToGlobal(QPoint(point->x, point->y));
    *point = {global.x(), global.y()};
    return 1;
}

int MoveWindow(RzWindow* self, int32_t x, int32_t y, int32_t, int32_t, int32_t) {
    AsWidget(self)->move(x, y);  // the size stays as designed
    return 1;
}

QRect PrimaryScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 0, 0);
}

int DesktopRect(RzWindow*, RzRect* out) {
    const QRect screen = PrimaryScreen();
    *out = {screen.left(), screen.top(), screen.left() + screen.width(),
            screen.top() + screen.height()};
    return 1;
}

int DesktopClientRect(RzWindow*, RzRect* out) {
    const QRect screen = PrimaryScreen();
    *out = {0, 0, screen.width(), screen.height()};
    return 1;
}

int DesktopToScreen(RzWindow*, RzPoint* point) {
    const QRect screen = PrimaryScreen();
    point->x += screen.left();
    point->y += screen.top();
    return 1;
}

int DesktopMove(RzWindow*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }

bool CanShowBoxes() {
    // Nobody sees a box on these platforms, and nobody could answer it.
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

// The designed face where the system has it, else a plain sans-serif one.
QFont ControlFont(const ControlLayout& layout) {
    QFont font;
    font.setFamilies(
        {kFontFamily, "Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "Sans Serif"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(layout.points);
    font.setWeight(layout.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

}  // namespace

OrvaneWindow::OrvaneWindow() : QWidget(nullptr) {
    setObjectName("fOrvane");
    setWindowTitle("Orvane");
    setWindowIcon(QIcon(QPixmap(orvane_icon_xpm)));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(TwipsToPixels(kClientWidthTwips, Dpi()), TwipsToPixels(kClientHeightTwips, Dpi()));

    // Created in tab order, which is also the order of the focus chain.
    for (const ControlLayout& layout : kControls) AddControl(layout);
    connect(Widget<QPushButton>(Control::PBSet), &QPushButton::clicked, this,
            [this] { logic_->ClickSet(); });
    connect(Widget<QPushButton>(Control::PBReset), &QPushButton::clicked, this,
            [this] { logic_->ClickReset(); });
    connect(Widget<QPushButton>(Control::PBPause), &QPushButton::clicked, this,
            [this] { logic_->ClickPause(); });

    // Created disabled and without an interval; start-up gives it both as its last steps.
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName("Timer1");
    // The tick is posted rather than run inside the timer's own activation, so that ticks
    // keep coming while a publish cycle started by a tick waits in the event loop.
    connect(Timer1_, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { logic_->Tick(); }, Qt::QueuedConnection);
    });

    InitWindowService();
}

int OrvaneWindow::Dpi() const { return logicalDpiX() > 0 ? logicalDpiX() : 96; }

void OrvaneWindow::AddControl(const ControlLayout& layout) {
    QWidget* widget = nullptr;
    if (layout.kind == kButton) {
        auto* button = new QPushButton(layout.caption, this);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        widget = button;
    } else {
        auto* label = new QLabel(layout.caption, this);
        const bool centred = layout.kind == kCentredLabel;
        label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->setFocusPolicy(Qt::NoFocus);
        widget = label;
    }
    widget->setObjectName(layout.name);
    widget->setFont(ControlFont(layout));
    const PixelRect place = InPixels(layout, Dpi());
    widget->setGeometry(place.left, place.top, place.width, place.height);
}

void OrvaneWindow::InitWindowService() {
    desktop_ =
        RzWindow{nullptr, DesktopRect, DesktopClientRect, DesktopToScreen, DesktopMove, nullptr};
    desktop_.desktop = &desktop_;
    self_ = RzWindow{&desktop_, WindowRect, ClientRect, ClientToScreen, MoveWindow, this};
}

void OrvaneWindow::ShowFirstTime() {
    show();
    activateWindow();
    Widget(Control::PBSet)->setFocus(Qt::OtherFocusReason);
}

void OrvaneWindow::SetCaption(Control control, const std::string& text) {
    const QString caption = QString::fromStdString(text);
    if (auto* label = qobject_cast<QLabel*>(Widget(control))) label->setText(caption);
    if (auto* button = qobject_cast<QPushButton*>(Widget(control))) button->setText(caption);
}

std::string OrvaneWindow::Caption(Control control) const {
    if (auto* label = qobject_cast<QLabel*>(Widget(control))) return label->text().toStdString();
    if (auto* button = qobject_cast<QPushButton*>(Widget(control)))
        return button->text().toStdString();
    return {};
}

void OrvaneWindow::SetEnabled(Control control, bool enabled) {
    Widget(control)->setEnabled(enabled);
}

bool OrvaneWindow::IsEnabled(Control control) const { return Widget(control)->isEnabled(); }

void OrvaneWindow::SetTimerInterval(int milliseconds) { Timer1_->setInterval(milliseconds); }

void OrvaneWindow::SetTimerEnabled(bool enabled) {
    if (enabled)
        Timer1_->start();
    else
        Timer1_->stop();
}

void OrvaneWindow::PumpEvents() { PumpCoreEvents(); }

void OrvaneWindow::WaitForEvents(std::chrono::milliseconds atMost) { WaitForCoreEvents(atMost); }

bool OrvaneWindow::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, "Orvane", QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName("CloseQuestion");
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void OrvaneWindow::ShowFatalError(const std::string& text) {
    if (!CanShowBoxes()) return;
    QMessageBox::critical(isVisible() ? this : nullptr, "Orvane", QString::fromStdString(text));
}

void OrvaneWindow::CloseWhenIdle() {
    QMetaObject::invokeMethod(
        this, [this] { CloseBySystem(); }, Qt::QueuedConnection);
}

void OrvaneWindow::CloseBySystem() {
    closeReason_ = kCloseBySystem;
    close();
    closeReason_ = kCloseFromControlMenu;
}

void OrvaneWindow::closeEvent(QCloseEvent* event) {
    const int16_t reason = closeReason_;
    closeReason_ = kCloseFromControlMenu;
    if (logic_ == nullptr || logic_->CloseRequested(reason)) {
        event->accept();
        // Qt ends the program by itself only when the last visible window closes; the tray
        // icon can hide this one.
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}

}  // namespace orvane
