// orvane-headless: the program without any window library, for machines without a display and
// the system service. Reads orvane's settings.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "headless/HeadlessProgram.h"
#include "loop/CloseSignals.h"
#include "runtime/StandardStreams.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "Usage: orvane-headless\n"
    "Publishes this machine's dial-up address to an FTP server at a fixed interval, with no\n"
    "window: status on standard error. The same as orvane --headless, without the window's\n"
    "libraries.\n"
    "\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

}  // namespace

int main(int argc, char** argv) {
    // Before any file or socket is opened: none may take a closed stream's number.
    orvane::KeepStandardStreamsOpen();
    orvane::InstallCloseSignals();  // next: SIGPIPE ignored, no close signal lost
    if (argc == 1) return orvane::RunHeadless(argv[0], "orvane");
    const std::string_view option = argv[1];
    if (argc == 2 && (option == "--help" || option == "-h")) {
        std::fputs(kUsage, stdout);
        return EXIT_SUCCESS;
    }
    if (argc == 2 && option == "--version") {
        std::puts("orvane-headless " ORVANE_VERSION);
        return EXIT_SUCCESS;
    }
    std::fprintf(stderr, "orvane-headless: %s %s\n%s",
                 argc > 2 ? "too many options:" : "unknown option", argv[argc > 2 ? 2 : 1], kUsage);
    return kUsageError;
}
