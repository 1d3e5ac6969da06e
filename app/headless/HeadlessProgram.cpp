// The headless mode's run: the form over Qt's core event loop, its signals and the service
// manager.
#include "headless/HeadlessProgram.h"

#include <QCoreApplication>
#include <cstdlib>

#include "form/fOrvane.h"
#include "headless/HeadlessWindow.h"
#include "headless/ServiceManager.h"
#include "loop/CloseSignals.h"

namespace orvane {

namespace {

void Exit(int status) { std::exit(status); }

}  // namespace

void PublishIfEnabled(FormWindow& window, fOrvane& logic) {
    if (window.IsEnabled(Control::PBSet)) logic.ClickSet();
}

int RunHeadless(char* program, const std::string& programName) {
    int argc = 1;
    char* argv[] = {program, nullptr};
    QCoreApplication application(argc, argv);  // also takes the user's locale (setlocale)
    QCoreApplication::setApplicationName("Orvane");

    SystemServices services(programName);
    HeadlessWindow window(ServiceManager::FromEnvironment());
    fOrvane logic(window, *services.support, *services.links, *services.uploader, services.clock,
                  Exit);
    window.Attach(&logic);
    CloseSignalNotifier signalNotifier([&window] { window.CloseBySystem(); },
                                       [&] { PublishIfEnabled(window, logic); });

    if (!logic.Load()) return EXIT_FAILURE;
    window.Started();
    return application.exec();
}

}  // namespace orvane
