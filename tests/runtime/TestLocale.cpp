// Builds the tests' Finnish locale with localedef into a temporary folder named by LOCPATH.
#include "TestLocale.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

namespace orvane::test {
namespace {

locale_t BuildFinnishLocale() {
    char folder[] = "/tmp/orvane-locale-XXXXXX";
    if (mkdtemp(folder) == nullptr) return nullptr;
    const std::string target = std::string(folder) + "/" + FinnishLocaleName;
    const char* argv[] = {"localedef", "-i", "fi_FI", "-f", "UTF-8", target.c_str(), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "localedef", nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return nullptr;
    setenv("LOCPATH", folder, 1);
    // A later setlocale reads the files again, so they go only when the program ends.
    std::atexit([] {
        std::error_code ignored;
        if (const char* path = std::getenv("LOCPATH")) std::filesystem::remove_all(path, ignored);
    });
    return newlocale(LC_ALL_MASK, FinnishLocaleName, static_cast<locale_t>(0));
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
