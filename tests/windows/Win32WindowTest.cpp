// The Win32 window in-process: fonts, icon, and what the logic asks of its controls.
#include <windows.h>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvane
