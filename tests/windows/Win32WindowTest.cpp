// The Win32 window in-process: fonts, icon, and what the logic asks of its controls; the
// notification-area icon coming and going, and its menu working the window's handlers.
#include "win32/Win32Window.h"

#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include "support/Fakes.h"
#include "win32/Win32Tray.h"

namespace orvane {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (window.Handle() == nullptr) GTEST_SKIP() << "no window system";
    }
    HWND Item(int id) { return GetDlgItem(static_cast<HWND>(window.Handle()), id); }
    HWND Item(Control control) { return Item(LayoutOf(control).id); }
    Win32Window window{GetModuleHandleA(nullptr)};
};

TEST_F(WindowTest, FontsAreTheLayoutsAndTheIconIsThePrograms) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (const ControlLayout& c : kControls) {
        LOGFONTA font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageA(Item(c.id), WM_GETFONT, 0, 0));
        GetObjectA(handle, sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, kFontFamily) << c.name;
        EXPECT_EQ(font.lfWeight, c.bold ? 700 : 400) << c.name;
        EXPECT_EQ(font.lfHeight, -static_cast<LONG>(c.points * dpi / 72.0 + 0.5)) << c.name;
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET) << c.name;
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << c.name;
    }
    EXPECT_NE(GetClassLongPtrA(static_cast<HWND>(window.Handle()), GCLP_HICON), 0u);
}

TEST_F(WindowTest, CaptionsAndEnabledStatesReachTheControls) {
    window.SetCaption(Control::PBPause, "&Riprendi");
    EXPECT_EQ(window.Caption(Control::PBPause), "&Riprendi");
    window.SetCaption(Control::Label2, "Errore #3 & co");
    EXPECT_EQ(window.Caption(Control::Label2), "Errore #3 & co");
    EXPECT_TRUE(GetWindowLongA(Item(Control::Label2), GWL_STYLE) & SS_NOPREFIX)
        << "labels show & as is";
    window.SetEnabled(Control::PBSet, false);
    EXPECT_FALSE(IsWindowEnabled(Item(Control::PBSet)));
    EXPECT_FALSE(window.IsEnabled(Control::PBSet));
    window.SetEnabled(Control::PBSet, true);
    EXPECT_TRUE(window.IsEnabled(Control::PBSet));
    const DWORD start = GetTickCount();  // and a wait without events ends at its bound
    window.WaitForEvents(std::chrono::milliseconds(50));
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_F(WindowTest, TheFocusReturnsToItsButtonAfterDeactivation) {
    window.Show(SW_SHOWNOACTIVATE);
    HWND main = static_cast<HWND>(window.Handle());
    SetFocus(Item(Control::PBPause));
    SendMessageA(main, WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageA(main, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetFocus(), Item(Control::PBPause));
}

// Answers the question box, when one is open, with the answer the test gave.
int answerToGive = IDNO;
void CALLBACK AnswerTheBox(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = FindWindowA("#32770", "Orvane")) PostMessageA(box, WM_COMMAND, answerToGive, 0);
}

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (window.Handle() == nullptr) GTEST_SKIP() << "no window system";
        for (const char* key : {"GENERAL/INTERVAL", "GENERAL/FIRST", "GENERAL/DELAY", "FTP/SERVER",
                                "FTP/USER", "FTP/PATH", "FTP/FILE", "FTP/PASSWORD"})
            support.values[key] = "8";
        window.Attach(&logic);
        MSG quit;  // an earlier test's window asked its message loop to stop: no box would stay
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        ASSERT_TRUE(logic.Load());
        window.Show(SW_SHOW);
        tray.emplace(window, logic, GetModuleHandleA(nullptr));
    }
    HWND Window() { return static_cast<HWND>(window.Handle()); }
    // Takes the icon away as an Explorer restart would; false when there was none.
    bool RemoveIcon() {
        NOTIFYICONDATAA data{};
        data.cbSize = sizeof data;
        data.hWnd = Window();
        data.uID = 1;
        return Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
    }
    // The command as the menu sends it, the close box's question answered with `answer`.
    void Menu(int command, int answer = IDNO) {
        answerToGive = answer;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerTheBox);
        SendMessageA(Window(), WM_COMMAND, command, 0);
        window.PumpEvents();
        KillTimer(nullptr, timer);
    }

    test::TempDir dir;
    testing::FakeClock clock;
    Win32Window window{GetModuleHandleA(nullptr)};
    testing::FakeSupport support{dir.folder()};
    testing::FakeRemoteAccess links;
    testing::FakeInternet internet;
    fOrvane logic{window, support, links, internet, clock, [](int) {}};
    std::optional<Win32Tray> tray;
};

// One run through, since taking an icon away or hiding a window costs Wine two seconds.
TEST_F(TrayTest, IconComesBackWithTheTaskbarItsMenuWorksTheHandlersAndItGoesWithTheWindow) {
    ASSERT_TRUE(tray->Shown()) << "no notification area";
    EXPECT_TRUE(RemoveIcon());
    SendMessageA(Window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray->Shown()) << "added again when Explorer restarted";

    Menu(kTrayPause);
    Menu(kTrayPublish);  // off while paused, as the button is
    EXPECT_EQ(logic.State().Paused, kTrue);
    EXPECT_EQ(logic.State().Countdown, 8);
    Menu(kTrayPause);
    Menu(kTrayPublish);
    EXPECT_EQ(logic.State().Countdown, 1);

    SendMessageA(Window(), WM_APP + 2, 1, WM_LBUTTONUP);  // a click on the icon
    EXPECT_FALSE(IsWindowVisible(Window()));
    Menu(kTrayShow);
    EXPECT_TRUE(IsWindowVisible(Window()));

    Menu(kTrayExit, IDNO);
    EXPECT_EQ(support.shutdowns, 0);
    Menu(kTrayExit, IDYES);
    EXPECT_FALSE(IsWindow(Window()));
    EXPECT_EQ(support.shutdowns, 1);
    EXPECT_FALSE(RemoveIcon()) << "the icon goes with the window";
}

}  // namespace
}  // namespace orvane
