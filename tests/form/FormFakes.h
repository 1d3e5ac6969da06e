// Forwards to the shared fakes until tests/qt includes support/Fakes.h and uses test::TempDir.
#pragma once

#include <unistd.h>

#include "../support/Fakes.h"

namespace orvane::testing {

inline std::filesystem::path MakeAppDir(const std::string& prefix) {
    static int counter = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace orvane::testing
