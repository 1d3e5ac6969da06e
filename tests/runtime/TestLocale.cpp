// Builds the tests' Finnish locale with localedef into a temporary folder named by LOCPATH.
#include "TestLocale.h"

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvane::test {

namespace {

bool RunLocaledef(const std::string& target) {
    const char* argv[] = {"localedef", "-i", "fi_FI", "-f", "UTF-8", target.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "localedef", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

locale_t BuildFinnishLocale() {
    char pattern[] = "/tmp/orvane-locale-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return nullptr;
    const std::string folder = pattern;
    if (!RunLocaledef(folder + "/" + FinnishLocaleName)) return nullptr;
    setenv("LOCPATH", folder.c_str(), 1);
    locale_t locale = newlocale(LC_ALL_MASK, FinnishLocaleName, static_cast<locale_t>(0));
    // The locale is loaded into memory by now; a later setlocale needs the files, so they
    // are removed when the test program ends.
    std::atexit([] {
        if (const char* path = std::getenv("LOCPATH")) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    });
    return locale;
}

}  // namespace

locale_t FinnishLocale() {
    static const locale_t locale = BuildFinnishLocale();
    return locale;
}

}  // namespace orvane::test

// glibc keeps the search path it builds from LOCPATH for good; that is its allocation, not a
// leak of the code under test. The leak checker of the sanitizer build reads this list.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }
