// window_probe.exe: looks at a running orvane.exe from outside, as a user and Windows would meet
// it, and closes it. Prints one line per check and "N passed, N failed"; exits non-zero on a
// failed check. Used by scripts/test-windows.
//   window_probe.exe [seconds to wait for "Offline"]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "form/WindowLayout.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
}

std::string Text(HWND window) {
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// Waits up to `seconds` for `found` to give a window.
template <typename Find>
HWND WaitFor(Find found, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND window = found()) return window;
        Sleep(100);
    }
    return nullptr;
}

// The shown main window (a copy refused at start-up has one too, never shown), or the question
// box of a close: a dialog ("#32770") titled "Orvane" and owned by the main window.
HWND FindOrvane(const char* windowClass, HWND owner = nullptr) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, windowClass, "Orvane")) != nullptr)
        if (owner ? GetWindow(window, GW_OWNER) == owner : IsWindowVisible(window)) return window;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const int cycleSeconds = argc > 1 ? std::atoi(argv[1]) : 15;
    HWND window = WaitFor([] { return FindOrvane("fOrvane"); }, 30);
    Check(window != nullptr, "the window opens");
    if (window == nullptr) return 1;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT outer{}, desktop{};
    GetWindowRect(window, &outer);
    GetClientRect(GetDesktopWindow(), &desktop);
    Check(outer.left == std::max(0L, desktop.right / 2 - (outer.right - outer.left) / 2) &&
              outer.top == std::max(0L, desktop.bottom / 2 - (outer.bottom - outer.top) / 2),
          "the window is centred on the screen");

    HWND status = GetDlgItem(window, orvane::LayoutOf(orvane::Control::Label2).id);
    const bool offline =
        WaitFor([&]() -> HWND { return Text(status) == "Offline" ? status : nullptr; },
                cycleSeconds) != nullptr;
    Check(offline,
          "the cycle finds no dial-up connection and shows \"Offline\" (\"" + Text(status) + "\")");

    // The control menu's close asks; No keeps the window.
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND box = WaitFor([&] { return FindOrvane("#32770", window); }, 10);
    Check(box != nullptr, "closing from the control menu asks");
    if (box) {
        PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        const bool answered =
            WaitFor([&]() -> HWND { return FindOrvane("#32770", window) ? nullptr : window; }, 5);
        Check(answered && IsWindowVisible(window), "answered No, the window stays open");
    }

    // The session's end closes without a question.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    Check(answer != 0, "log-off is not refused");
    SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    const bool ended = handle && WaitForSingleObject(handle, 10000) == WAIT_OBJECT_0;
    if (handle) CloseHandle(handle);
    Check(ended && FindOrvane("#32770", window) == nullptr,
          "the session's end closes it without a question");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
