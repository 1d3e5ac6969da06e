// The Win32 window in-process: fonts, icon, and what the logic asks of its controls; the
// notification-area icon coming and going, and its menu working the window's handlers.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include "../form/FormFakes.h"
#include "win32/Win32Tray.h"
#include "win32/Win32Window.h"

namespace orvane {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (window.Handle() == nullptr) GTEST_SKIP() << "no window system";
    }
    HWND Item(int id) { return GetDlgItem(static_cast<HWND>(window.Handle()), id); }
    Win32Window window{GetModuleHandleA(nullptr)};
};

TEST_F(WindowTest, FontsAreMsSansSerifAtTheDesignedSizesAndTheIconIsThePrograms) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const struct { int id; double points; LONG weight; } cases[] = {
        {kLabel1, 12, 700}, {kLabel2, 12, 700}, {kLabel7, 9.6, 400},
        {kPBSet, 7.8, 400}, {kPBPause, 7.8, 400}};
    for (const auto& c : cases) {
        LOGFONTA font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageA(Item(c.id), WM_GETFONT, 0, 0));
        GetObjectA(handle, sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << c.id;
        EXPECT_EQ(font.lfWeight, c.weight) << c.id;
        EXPECT_EQ(font.lfHeight, -static_cast<LONG>(c.points * dpi / 72.0 + 0.5)) << c.id;
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET) << c.id;
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << c.id;
    }
    EXPECT_NE(GetClassLongPtrA(static_cast<HWND>(window.Handle()), GCLP_HICON), 0u);
}

TEST_F(WindowTest, CaptionsAndEnabledStatesReachTheControls) {
    window.SetCaption(Control::PBPause, "&Riprendi");
    EXPECT_EQ(window.Caption(Control::PBPause), "&Riprendi");
    window.SetCaption(Control::Label2, "Errore #3 & co");
    EXPECT_EQ(window.Caption(Control::Label2), "Errore #3 & co");
    EXPECT_TRUE(GetWindowLongA(Item(kLabel2), GWL_STYLE) & SS_NOPREFIX) << "labels show & as is";
    window.SetEnabled(Control::PBSet, false);
    EXPECT_FALSE(IsWindowEnabled(Item(kPBSet)));
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
    SetFocus(Item(kPBPause));
    SendMessageA(main, WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageA(main, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetFocus(), Item(kPBPause));
}

// Answers the question box, when one is open, with the answer the test gave.
int answerToGive = IDNO;
void CALLBACK AnswerTheBox(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = FindWindowA("#32770", "Orvane")) PostMessageA(box, WM_COMMAND, answerToGive, 0);
}

class TrayTest : public ::testing::Test {
  protected:
    ~TrayTest() override { std::filesystem::remove_all(dir); }
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
        NOTIFYICONDATAA data{sizeof data, Window(), 1};
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

    std::filesystem::path dir = testing::MakeAppDir("orvane-tray");
    testing::FakeClock clock;
    Win32Window window{GetModuleHandleA(nullptr)};
    testing::FakeSupport support{dir};
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
