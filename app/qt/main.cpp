// orvane: the program's entry point; reads the command line, then builds the window (or the
// headless one) over the logic and runs the event loop.
#include <QApplication>
#include <QDialog>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "form/fOrvane.h"
#include "headless/HeadlessProgram.h"
#include "loop/CloseSignals.h"
#include "qt/OrvaneWindow.h"
#include "qt/TrayIcon.h"
#include "runtime/StandardStreams.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "Usage: orvane [--headless]\n"
    "Publishes this machine's dial-up address to an FTP server at a fixed interval.\n"
    "\n"
    "  --headless  run without a window or a display (as a service); status on standard error\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

enum class Mode { Window, Headless, Help, Version, Usage };

Mode ModeOf(int argc, char** argv) {
    if (argc == 1) return Mode::Window;
    if (argc > 2) return Mode::Usage;
    const std::string_view option = argv[1];
    if (option == "--headless") return Mode::Headless;
    if (option == "--help" || option == "-h") return Mode::Help;
    if (option == "--version") return Mode::Version;
    return Mode::Usage;
}

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Without a display server Qt would abort; a platform chosen by hand (offscreen) is trusted.
bool DisplayAvailable() {
    return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

void Exit(int status) { std::exit(status); }

// A close asked for by the system also ends a box that is open (the start-up error, the
// question): nobody may be there to answer it.
void CloseWindowAndBoxes(orvane::OrvaneWindow& window) {
    window.CloseBySystem();
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
}

int RunWindow(char* program) {
    int argc = 1;
    char* argv[] = {program, nullptr};
    QApplication application(argc, argv);  // also takes the user's locale (setlocale)
    QApplication::setApplicationName("Orvane");
    QApplication::setDesktopFileName("orvane");

    orvane::SystemServices services;
    orvane::OrvaneWindow window;
    orvane::fOrvane logic(window, *services.support, *services.links, *services.uploader,
                          services.clock, Exit);
    window.Attach(&logic);

    // Signals and the session's end close the window without asking.
    orvane::CloseSignalNotifier signalNotifier([&window] { CloseWindowAndBoxes(window); },
                                               [&] { orvane::PublishIfEnabled(window, logic); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.CloseBySystem(); });

    if (!logic.Load()) return EXIT_FAILURE;
    window.ShowFirstTime();
    orvane::TrayIcon tray(window, logic);
    return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
    // Before any file or socket is opened: none may take a closed stream's number.
    orvane::KeepStandardStreamsOpen();
    orvane::InstallCloseSignals();  // next: SIGPIPE ignored, no close signal lost
    switch (ModeOf(argc, argv)) {
        case Mode::Help: std::fputs(kUsage, stdout); return EXIT_SUCCESS;
        case Mode::Version: std::puts("orvane " ORVANE_VERSION); return EXIT_SUCCESS;
        case Mode::Usage:
            std::fprintf(stderr, "orvane: %s %s\n%s",
                         argc > 2 ? "too many options:" : "unknown option", argv[argc > 2 ? 2 : 1],
                         kUsage);
            return kUsageError;
        case Mode::Headless: return orvane::RunHeadless(argv[0]);
        case Mode::Window: break;
    }
    if (!DisplayAvailable()) {
        std::fputs(
            "orvane: no display to show the window on (DISPLAY is not set); "
            "run orvane --headless to publish without one\n",
            stderr);
        return EXIT_FAILURE;
    }
    return RunWindow(argv[0]);
}
