// The Win32 window in-process: its controls as the layout places them, fonts, icon, and what the
// logic asks of them; the notification-area icon coming and going, and its menu's handlers.
#include "win32/Win32Window.h"

#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string_view>
#include <vector>

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

// Each control where the layout puts it at this screen's dpi, with its caption and font; Tab
// moves among the buttons only and the first has the focus once shown.
TEST_F(WindowTest, ControlsStandAsTheLayoutSays) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    window.Show(SW_SHOWNOACTIVATE);
    HWND main = static_cast<HWND>(window.Handle());
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, dpi));
    std::vector<HWND> buttons;
    for (const ControlLayout& c : kControls) {
        RECT rect{};
        GetWindowRect(Item(c.id), &rect);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
        const PixelRect p = InPixels(c, dpi);
        EXPECT_EQ((std::array{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}),
                  (std::array<LONG, 4>{p.left, p.top, p.width, p.height}))
            << c.name;
        char caption[64] = {};
        GetWindowTextA(Item(c.id), caption, sizeof caption);
        EXPECT_STREQ(caption, c.caption);
        LOGFONTA font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageA(Item(c.id), WM_GETFONT, 0, 0));
        GetObjectA(handle, sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, kFontFamily) << c.name;
        EXPECT_EQ(font.lfWeight, c.bold ? 700 : 400) << c.name;
        EXPECT_EQ(font.lfHeight, -static_cast<LONG>(c.points * dpi / 72.0 + 0.5)) << c.name;
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET) << c.name;
        if (c.kind == kButton) buttons.push_back(Item(c.id));
    }
    for (std::size_t i = 0; i < buttons.size(); ++i)
        EXPECT_EQ(GetNextDlgTabItem(main, buttons[i], FALSE), buttons[(i + 1) % buttons.size()]);
    EXPECT_EQ(GetFocus(), buttons.front());
    EXPECT_NE(GetClassLongPtrA(main, GCLP_HICON), 0u);
}

TEST_F(WindowTest, CaptionsAndEnabledStatesReachTheControls) {
    window.SetCaption(Control::Label2, "Errore #3 & co");
    EXPECT_EQ(window.Caption(Control::Label2), "Errore #3 & co");
    EXPECT_TRUE(GetWindowLongA(Item(Control::Label2), GWL_STYLE) & SS_NOPREFIX)
        << "labels show & as is";
    window.SetEnabled(Control::PBSet, false);
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
    testing::FakeLinks links;
    testing::FakeUploader uploader;
    int exitStatus = -1;
    fOrvane logic{window, support, links, uploader, clock, [this](int s) { exitStatus = s; }};
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
    EXPECT_EQ(logic.State().Countdown, 10);
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

// Counts the program's boxes open at once, keeps the most seen, closes them and stops the
// ticks, so that boxes stacked by ticks come down too.
int mostBoxesAtOnce = 0;
Win32Window* ticking = nullptr;
BOOL CALLBACK CloseOneBox(HWND window, LPARAM count) {
    char kind[16] = {}, title[16] = {};
    GetClassNameA(window, kind, sizeof kind);
    GetWindowTextA(window, title, sizeof title);
    if (std::string_view(kind) == "#32770" && std::string_view(title) == "Orvane") {
        ++*reinterpret_cast<int*>(count);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}
void CALLBACK CloseTheBoxes(HWND, UINT, UINT_PTR, DWORD) {
    int open = 0;
    EnumThreadWindows(GetCurrentThreadId(), CloseOneBox, reinterpret_cast<LPARAM>(&open));
    mostBoxesAtOnce = std::max(mostBoxesAtOnce, open);
    ticking->SetTimerEnabled(false);
}

// A countdown that would fall below the smallest 32-bit value ends the program with one box,
// however many ticks fall due while it is open.
TEST_F(TrayTest, AnOverflowingCountdownShowsOneBoxThenEnds) {
    logic.MutableState().Countdown = INT32_MIN + 1;
    window.SetTimerInterval(20);
    ticking = &window;
    const UINT_PTR closer = SetTimer(nullptr, 0, 400, CloseTheBoxes);
    for (int i = 0; i < 40 && exitStatus < 0; ++i)
        window.WaitForEvents(std::chrono::milliseconds(100));
    KillTimer(nullptr, closer);
    EXPECT_EQ(mostBoxesAtOnce, 1);
    EXPECT_EQ(exitStatus, 1);
    EXPECT_EQ(support.shutdowns, 1);
}

}  // namespace
}  // namespace orvane
