// orvane: the program's entry point; builds the window over the logic and runs the event loop.
#include <QApplication>
#include <cstdlib>

#include "dialup/RemoteAccess.h"
#include "form/Clock.h"
#include "form/SupportModule.h"
#include "form/fOrvane.h"
#include "ftp/InternetClient.h"
#include "qt/CloseSignals.h"
#include "qt/OrvaneWindow.h"
#include "qt/TrayIcon.h"

int main(int argc, char** argv) {
    orvane::InstallCloseSignals();
    QApplication application(argc, argv);  // also takes the user's locale (setlocale)
    QApplication::setApplicationName("Orvane");
    QApplication::setDesktopFileName("orvane");

    auto support = orvane::MakeSystemSupportModule();
    auto remoteAccess = orvane::dialup::MakeSystemRemoteAccess();
    auto internet = orvane::ftp::MakeSystemInternetClient();
    orvane::SystemClock clock;
    orvane::OrvaneWindow window;
    orvane::fOrvane logic(window, *support, *remoteAccess, *internet, clock,
                          [](int status) { std::exit(status); });
    window.Attach(&logic);

    // Signals and the session's end close the window without asking.
    orvane::CloseSignalNotifier closeSignals([&window] { window.CloseBySystem(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.CloseBySystem(); });

    if (!logic.Load()) return EXIT_FAILURE;
    window.ShowFirstTime();
    orvane::TrayIcon tray(window, logic);
    return application.exec();
}
