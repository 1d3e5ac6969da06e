// orvane.exe: the program's entry point; builds the Win32 window over the logic and runs the
// message loop.
#include <windows.h>

#include <cstdlib>

#include "dialup/Links.h"
#include "form/Clock.h"
#include "form/SupportModule.h"
#include "form/fOrvane.h"
#include "ftp/Uploader.h"
#include "win32/Win32Tray.h"
#include "win32/Win32Window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    auto support = orvane::MakeSystemSupportModule();
    auto uploader = orvane::ftp::MakeSystemUploader();
    orvane::SystemClock clock;
    orvane::Win32Window window(instance);
    if (window.Handle() == nullptr) {
        MessageBoxA(nullptr, "Impossibile creare la finestra.", "Orvane", MB_OK | MB_ICONERROR);
        return EXIT_FAILURE;
    }
    auto links = orvane::dialup::MakeSystemLinks(window.Handle());  // the dialler's parent
    orvane::fOrvane logic(window, *support, *links, *uploader, clock,
                          [](int status) { std::exit(status); });
    window.Attach(&logic);

    if (!logic.Load()) return EXIT_FAILURE;
    window.Show(showCommand);
    orvane::Win32Tray tray(window, logic, instance);
    return window.Run();
}
