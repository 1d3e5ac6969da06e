// A program for the command target's tests on Windows: writes its arguments and the variables
// the target sets to the file PROBE_OUT names, then sleeps PROBE_SLEEP_MS and exits PROBE_EXIT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* out = std::getenv("PROBE_OUT");
    if (out != nullptr) {
        if (FILE* file = std::fopen(out, "w")) {
            std::fprintf(file, "%d", argc - 1);
            for (int i = 1; i < argc; ++i) std::fprintf(file, "|%s", argv[i]);
            for (const char* name :
                 {"ORVANE_ADDRESS", "ORVANE_ADDRESS6", "ORVANE_PREVIOUS_ADDRESS", "ORVANE_ENTRY"}) {
                const char* value = std::getenv(name);
                std::fprintf(file, "|%s", value != nullptr ? value : "(unset)");
            }
            std::fclose(file);
        }
    }
    if (const char* sleep = std::getenv("PROBE_SLEEP_MS")) Sleep(std::strtoul(sleep, nullptr, 10));
    const char* status = std::getenv("PROBE_EXIT");
    return status != nullptr ? std::atoi(status) : 0;
}
