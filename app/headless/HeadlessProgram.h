// What both executables share to run the form: the system's services, SIGUSR1's publication,
// and the whole headless mode (orvane --headless and orvane-headless).
#pragma once

#include <memory>
#include <string>

#include "dialup/Links.h"
#include "form/Clock.h"
#include "form/SupportModule.h"
#include "ftp/Uploader.h"

namespace orvane {

class FormWindow;
class fOrvane;

// The services the form works through, the same for both windows. `programName` names the
// settings file (orvane.ini for "orvane"); empty, the running executable's name does.
struct SystemServices {
    explicit SystemServices(const std::string& programName = {})
        : support(MakeSystemSupportModule(programName)) {}
    std::unique_ptr<SupportModule> support;
    std::unique_ptr<dialup::Links> links = dialup::MakeSystemLinks();
    std::unique_ptr<ftp::Uploader> uploader = ftp::MakeSystemUploader();
    SystemClock clock;
};

// SIGUSR1 does what "Pubblica" does, when "Pubblica" could be clicked.
void PublishIfEnabled(FormWindow& window, fOrvane& logic);

// Runs the form without a window over Qt's core event loop until a close signal; the exit
// status. `program` is argv[0]; `programName` as for SystemServices.
int RunHeadless(char* program, const std::string& programName = {});

}  // namespace orvane
