// The Win32 window over fOrvane: registration, layout in twips, fonts, the timer, message
// pumping, the close reasons and the question and error boxes.
#include "win32/Win32Window.h"

#include "form/fOrvane.h"

namespace orvane {

namespace {

constexpr const char* kClassName = "fOrvane";
constexpr const char* kTitle = "Orvane";
constexpr int kIconResource = 1;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kCloseWhenIdle = WM_APP + 1;

// Fixed border, caption with its control menu and minimise box; no resizing.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The designed face in the Western character set; the system substitutes a plain sans-serif
// face where it has none of that name.
HFONT MakeFont(const ControlLayout& layout, int dpi) {
    const int height = -static_cast<int>(layout.points * dpi / 72.0 + 0.5);
    return CreateFontA(height, 0, 0, 0, layout.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, kFontFamily);
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);
}

}  // namespace

Win32Window::Win32Window(HINSTANCE instance) : dpi_(ScreenDpi()) {
    RegisterWindowClass(instance);
    RECT outer{0, 0, TwipsToPixels(kClientWidthTwips, dpi_),
               TwipsToPixels(kClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    window_ = CreateWindowExA(0, kClassName, kTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              instance, nullptr);
    if (window_ == nullptr) return;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure));
    // Created in tab order: the labels take no focus, so the focus moves among the buttons only.
    for (std::size_t index = 0; index < kControls.size(); ++index) AddControl(index);
}

Win32Window::~Win32Window() {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    for (HFONT font : fonts_)
        if (font) DeleteObject(font);
}

void Win32Window::AddControl(std::size_t index) {
    const ControlLayout& layout = kControls[index];
    const bool button = layout.kind == kButton;
    const DWORD style = button ? BS_PUSHBUTTON | WS_TABSTOP
                               : (layout.kind == kCentredLabel ? SS_CENTER : SS_LEFT) | SS_NOPREFIX;
    const PixelRect place = InPixels(layout, dpi_);
    HWND control = CreateWindowExA(
        0, button ? "BUTTON" : "STATIC", layout.caption, WS_CHILD | WS_VISIBLE | style, place.left,
        place.top, place.width, place.height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE)), nullptr);
    fonts_[index] = MakeFont(layout, dpi_);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[index]), FALSE);
}

void Win32Window::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(Child(Control::PBSet));
}

HWND Win32Window::Child(Control control) const { return GetDlgItem(window_, LayoutOf(control).id); }

void Win32Window::SetCaption(Control control, const std::string& text) {
    SetWindowTextA(Child(control), text.c_str());
}

std::string Win32Window::Caption(Control control) const {
    HWND child = Child(control);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(child)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(child, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Win32Window::SetEnabled(Control control, bool enabled) {
    EnableWindow(Child(control), enabled ? TRUE : FALSE);
}

bool Win32Window::IsEnabled(Control control) const { return IsWindowEnabled(Child(control)); }

void Win32Window::SetTimerInterval(int milliseconds) {
    timerInterval_ = milliseconds;
    if (timerRunning_) SetTimer(window_, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
}

void Win32Window::SetTimerEnabled(bool enabled) {
    timerRunning_ = enabled && timerInterval_ > 0;
    if (timerRunning_)
        SetTimer(window_, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    else
        KillTimer(window_, kTimer1);
}

void Win32Window::Dispatch(MSG& message) {
    if (window_ != nullptr && IsDialogMessageA(window_, &message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

void Win32Window::PumpEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The outer loop must still see it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void Win32Window::WaitForEvents(std::chrono::milliseconds atMost) {
    const auto wait = static_cast<DWORD>(std::max<long long>(0, atMost.count()));
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    PumpEvents();
}

int Win32Window::Run() {
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

bool Win32Window::AskYesNo(const std::string& text) {
    return MessageBoxA(window_, text.c_str(), kTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) ==
           IDYES;
}

void Win32Window::ShowFatalError(const std::string& text) {
    HWND owner = IsWindowVisible(window_) ? window_ : nullptr;
    MessageBoxA(owner, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
}

void Win32Window::CloseWhenIdle() { PostMessageA(window_, kCloseWhenIdle, 0, 0); }

void Win32Window::CloseWith(int16_t reason) {
    if (logic_ == nullptr || logic_->CloseRequested(reason)) DestroyWindow(window_);
}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (companion_ && companion_->OnMessage(message, wParam, lParam)) return 0;
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && logic_ != nullptr) {
                switch (LOWORD(wParam)) {
                    case LayoutOf(Control::PBSet).id: logic_->ClickSet(); return 0;
                    case LayoutOf(Control::PBReset).id: logic_->ClickReset(); return 0;
                    case LayoutOf(Control::PBPause).id: logic_->ClickPause(); return 0;
                }
            }
            break;
        case WM_TIMER:
            if (wParam == kTimer1 && logic_ != nullptr) logic_->Tick();
            return 0;
        case WM_SYSCOMMAND:
            // The close box, the system menu and Alt+F4 come this way: the user's own close.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                closeFromControlMenu_ = true;
                CloseWith(kCloseFromControlMenu);
                closeFromControlMenu_ = false;
                return 0;
            }
            break;
        case WM_CLOSE:
            // A close that did not come from the control menu: the task manager or another
            // program asks the window to close. No question.
            CloseWith(closeFromControlMenu_ ? kCloseFromControlMenu : kCloseBySystem);
            return 0;
        case kCloseWhenIdle: CloseWith(kCloseBySystem); return 0;
        case WM_QUERYENDSESSION: return TRUE;  // log-off and shut-down are never refused
        case WM_ENDSESSION:
            if (wParam) {
                // The process may end as soon as this returns: the unload cannot wait for a
                // running cycle.
                if (logic_ != nullptr) logic_->SessionEnding();
                CloseWith(kCloseBySystem);
            }
            return 0;
        case WM_ACTIVATE:
            // As dialogs do: the button that had the focus gets it back on reactivation.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus)) focusBeforeDeactivation_ = focus;
            } else if (focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_)) {
                SetFocus(focusBeforeDeactivation_);
                return 0;
            }
            break;
        case WM_DESTROY:
            KillTimer(window_, kTimer1);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

}  // namespace orvane
