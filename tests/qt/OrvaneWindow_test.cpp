// The Qt window headless: controls placed as the layout table says, focus and tab order, access
// keys and the close question. Under a notification area (tray_host.py), the tray icon.
#include "qt/OrvaneWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "form/fOrvane.h"
#include "qt/TrayIcon.h"
#include "support/Fakes.h"

namespace orvane::testing {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    WindowTest()
        : support(dir.folder()),
          logic(window, support, links, uploader, clock, [this](int s) { exits.push_back(s); }) {
        window.Attach(&logic);
        EXPECT_TRUE(logic.Load());
        window.ShowFirstTime();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A button's access key "animates" its click, which lands a moment later.
    void PressAccessKey(Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        QTest::qWait(250);
    }
    // Answers the next modal box with `button`, recording what it showed.
    void AnswerNextBox(QMessageBox::StandardButton button) {
        QTimer::singleShot(10, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return AnswerNextBox(button);  // not open yet
            boxTitle = box->windowTitle();
            boxIcon = box->icon();
            boxDefault = box->standardButton(box->defaultButton());
            box->button(button)->click();
        });
    }

    test::TempDir dir;
    FakeClock clock;
    OrvaneWindow window;
    FakeSupport support;
    FakeLinks links;
    FakeUploader uploader;
    std::vector<int> exits;
    fOrvane logic;
    QString boxTitle;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButton boxDefault = QMessageBox::NoButton;
};

TEST(QtLayoutTest, EachControlStandsWhereTheLayoutPutsItWithItsFontAndCaption) {
    OrvaneWindow window;
    const int dpi = window.Dpi();
    EXPECT_EQ(window.windowTitle(), "Orvane");
    EXPECT_EQ(window.size(),
              QSize(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window keeps its size";
    EXPECT_FALSE(window.windowIcon().isNull());
    for (const ControlLayout& c : kControls) {
        auto* widget = window.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        const PixelRect place = InPixels(c, dpi);
        EXPECT_EQ(widget->geometry(), QRect(place.left, place.top, place.width, place.height))
            << c.name;
        EXPECT_EQ(widget->property("text").toString().toStdString(), c.caption) << c.name;
        const QFont font = widget->font();
        EXPECT_EQ(font.families().value(0).toStdString(), kFontFamily) << c.name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), c.points) << c.name;
        EXPECT_EQ(font.bold(), c.bold) << c.name;
        EXPECT_EQ(bool(widget->property("alignment").toInt() & Qt::AlignHCenter),
                  c.kind == kCentredLabel)
            << c.name;
    }
}

TEST_F(WindowTest, FocusStartsOnTheFirstButtonAndTabCyclesTheButtonsInTheirOrder) {
    QApplication::setActiveWindow(&window);
    const QWidget* first = QApplication::focusWidget();
    for (const ControlLayout& c : kControls) {
        if (c.kind != kButton) continue;
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), c.name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget(), first) << "Tab from the last button goes to the first";
}

TEST_F(WindowTest, AccessKeysWorkTheButtons) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    PressAccessKey(Qt::Key_U);
    EXPECT_EQ(logic.State().Countdown, 1);
    PressAccessKey(Qt::Key_I);
    EXPECT_EQ(logic.State().Countdown, 600);
    PressAccessKey(Qt::Key_P);
    EXPECT_EQ(logic.State().Paused, kTrue);
    EXPECT_EQ(window.Caption(Control::PBPause), "&Riprendi");
    PressAccessKey(Qt::Key_U);  // disabled: nothing happens
    EXPECT_EQ(logic.State().Countdown, 600);
    PressAccessKey(Qt::Key_R);
    EXPECT_EQ(logic.State().Paused, kFalse);
}

TEST_F(WindowTest, TheTimerCountsDownOnceASecond) {
    EXPECT_EQ(window.Caption(Control::Label7), "9");
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.Caption(Control::Label7) == "8"; }, 2500));
}

TEST_F(WindowTest, CloseBoxAsksAndNoKeepsTheWindowOpen) {
    AnswerNextBox(QMessageBox::No);
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(boxTitle, "Orvane");
    EXPECT_EQ(boxIcon, QMessageBox::Question);
    EXPECT_EQ(boxDefault, QMessageBox::Yes);
    EXPECT_EQ(support.shutdowns, 0);

    AnswerNextBox(QMessageBox::Yes);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(support.shutdowns, 1);
}

// ---- the notification-area icon: its menu and tooltip, and a panel's click over D-Bus ----

class TrayTest : public WindowTest {
  protected:
    TrayTest() {
        links.links = {Link("Casa", "203.0.113.45")};
        logic.MutableState().ConnectDelay = -1;  // no wait: the fake clock stands still
    }
    QSystemTrayIcon* Icon() { return tray.findChild<QSystemTrayIcon*>(); }
    QString ToolTip() { return Icon()->toolTip(); }
    // The entries' labels, a disabled one in brackets.
    QStringList Menu() {
        QStringList labels;
        for (const QAction* entry : Icon()->contextMenu()->actions())
            labels << (entry->isEnabled() ? entry->text() : "[" + entry->text() + "]");
        return labels;
    }
    void Click(const QString& label) {
        for (QAction* entry : Icon()->contextMenu()->actions())
            if (entry->text() == label) entry->trigger();
    }
    // This process answers for the icon, so calls go out on a connection of their own and the
    // event loop runs until the reply is in.
    QVariantList Call(const QString& service, const QString& path, const char* interface,
                      const char* method, const QVariantList& arguments) {
        static QDBusConnection probe =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "probe");
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = probe.asyncCall(call, 10000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 11000)) << method;
        EXPECT_EQ(pending.reply().type(), QDBusMessage::ReplyMessage) << method;
        return pending.reply().arguments();
    }
    // The bus name the item gave when it registered with the stand-in watcher.
    QString Service() {
        return Call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                    "org.freedesktop.DBus.Properties", "Get",
                    {"org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"})
            .value(0)
            .value<QDBusVariant>()
            .variant()
            .toStringList()
            .value(0);
    }
    void Activate() {
        Call(Service(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate", {0, 0});
    }

    TrayIcon tray{window, logic};
};

TEST_F(TrayTest, TooltipAndMenuFollowTheWindowAndTheMenuWorksItsHandlers) {
    ASSERT_TRUE(tray.Shown());
    ASSERT_FALSE(Service().isEmpty()) << "the item registered";
    EXPECT_EQ(Menu(), QStringList({"Pubblica", "Pausa", "Mostra", "Esci"}));
    Click("Pausa");
    EXPECT_EQ(ToolTip(), "Orvane\nIn pausa");
    EXPECT_EQ(Menu(), QStringList({"[Pubblica]", "Riprendi", "Mostra", "Esci"}));

    Click("Riprendi");
    Click("Pubblica");
    EXPECT_TRUE(QTest::qWaitFor([this] { return uploader.uploads == 1; }, 3000)) << "a cycle ran";
    // The documentation address reaches nobody outside, and the tooltip says so.
    const QString published =
        "Orvane\nStatus: Online\nIP: 203.0.113.45\nIndirizzo non pubblico: 203.0.113.45\n"
        "Prossimo invio tra ";
    EXPECT_TRUE(ToolTip().startsWith(published)) << ToolTip().toStdString();
}

TEST_F(TrayTest, ActivateShowsOrHidesTheWindowAndExitAsksAsTheCloseBoxDoes) {
    int lastWindowClosed = 0;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastWindowClosed; });
    Activate();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window.isVisible(); }));
    Activate();
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.isVisible(); }));

    window.hide();
    AnswerNextBox(QMessageBox::No);
    Click("Esci");
    EXPECT_EQ(support.shutdowns, 0);
    EXPECT_EQ(lastWindowClosed, 0) << "the program would end without unloading";
    AnswerNextBox(QMessageBox::Yes);
    QTimer::singleShot(0, [this] { Click("Esci"); });
    QTimer::singleShot(5000, [] { qApp->exit(1); });
    EXPECT_EQ(qApp->exec(), 0) << "the program ends with its hidden window";
    EXPECT_EQ(support.shutdowns, 1);
}

}  // namespace
}  // namespace orvane::testing

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
