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
#include "qt/orvane_icon.xpm"

namespace orvane {

namespace {

// The designed layout, in twips.
constexpr int kClientWidth = 5556;
constexpr int kClientHeight = 2016;
constexpr int kButtonWidth = 972;
constexpr int kButtonHeight = 372;

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

}  // namespace

QFont OrvaneFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans",
                      "Sans Serif"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

OrvaneWindow::OrvaneWindow() : QWidget(nullptr) {
    setObjectName("fOrvane");
    setWindowTitle("Orvane");
    setWindowIcon(QIcon(QPixmap(orvane_icon_xpm)));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Pixels(kClientWidth), Pixels(kClientHeight));

    const QFont big = OrvaneFont(12, true);
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignTop;
    AddLabel("Label1", "Status", 540, 300, 900, 396, big, left);
    AddLabel("Label5", ":", 1680, 300, 168, 396, big, centre);
    Label2_ = AddLabel("Label2", "Label2", 2040, 300, 3360, 396, big, left);
    AddLabel("Label3", "IP", 540, 900, 900, 396, big, left);
    AddLabel("Label6", ":", 1680, 900, 168, 396, big, centre);
    Label4_ = AddLabel("Label4", "Label4", 2040, 900, 3300, 396, big, left);
    Label7_ = AddLabel("Label7", "Label7", 4740, 1680, 612, 240, OrvaneFont(9.6, false), centre);

    const QFont small = OrvaneFont(7.8, false);
    PBSet_ = AddButton("PBSet", "P&ubblica", 960, 1560, small);
    PBReset_ = AddButton("PBReset", "R&icomicia", 2220, 1560, small);
    PBPause_ = AddButton("PBPause", "&Pausa", 3420, 1560, small);
    setTabOrder(PBSet_, PBReset_);
    setTabOrder(PBReset_, PBPause_);
    connect(PBSet_, &QPushButton::clicked, this, [this] { logic_->ClickSet(); });
    connect(PBReset_, &QPushButton::clicked, this, [this] { logic_->ClickReset(); });
    connect(PBPause_, &QPushButton::clicked, this, [this] { logic_->ClickPause(); });

    // Created disabled and without an interval; start-up gives it both as its last steps.
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName("Timer1");
    // The tick is posted rather than run inside the timer's own activation, so that ticks
    // keep coming while a publish cycle started by a tick waits in the event loop.
    connect(Timer1_, &QTimer::timeout, this,
            [this] { QMetaObject::invokeMethod(this, [this] { logic_->Tick(); }, Qt::QueuedConnection); });

    InitWindowService();
}

int OrvaneWindow::Pixels(int twips) const {
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    return (twips * dpi + 720) / 1440;
}

QLabel* OrvaneWindow::AddLabel(const char* name, const char* caption, int left, int top,
                               int width, int height, const QFont& font,
                               Qt::Alignment alignment) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    label->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
    return label;
}

QPushButton* OrvaneWindow::AddButton(const char* name, const char* caption, int left, int top,
                                     const QFont& font) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFont(font);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setGeometry(Pixels(left), Pixels(top), Pixels(kButtonWidth), Pixels(kButtonHeight));
    return button;
}

void OrvaneWindow::InitWindowService() {
    desktop_ = RzWindow{nullptr, DesktopRect, DesktopClientRect, DesktopToScreen, DesktopMove,
                        nullptr};
    desktop_.desktop = &desktop_;
    self_ = RzWindow{&desktop_, WindowRect, ClientRect, ClientToScreen, MoveWindow, this};
}

void OrvaneWindow::ShowFirstTime() {
    show();
    activateWindow();
    PBSet_->setFocus(Qt::OtherFocusReason);
}

QWidget* OrvaneWindow::Widget(Control control) const {
    switch (control) {
        case Control::Label2: return Label2_;
        case Control::Label4: return Label4_;
        case Control::Label7: return Label7_;
        case Control::PBSet: return PBSet_;
        case Control::PBReset: return PBReset_;
        case Control::PBPause: return PBPause_;
    }
    return nullptr;
}

void OrvaneWindow::SetCaption(Control control, const std::string& text) {
    const QString caption = QString::fromStdString(text);
    if (auto* label = qobject_cast<QLabel*>(Widget(control))) label->setText(caption);
    if (auto* button = qobject_cast<QPushButton*>(Widget(control))) button->setText(caption);
    emit CaptionChanged();
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

void OrvaneWindow::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void OrvaneWindow::WaitForEvents(std::chrono::milliseconds atMost) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(atMost);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

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
    QMetaObject::invokeMethod(this, [this] { CloseBySystem(); }, Qt::QueuedConnection);
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
