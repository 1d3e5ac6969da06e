// File failures as run-time errors, for every platform.
#include "SafeFile.h"

#include <cstring>

namespace orvane {

RuntimeError FileFailure(int errnoValue, std::string_view what, const std::string& path) {
    return RuntimeError(FileError(errnoValue, path).number(),
                        std::string(what) + " " + path + ": " + std::strerror(errnoValue));
}

}  // namespace orvane
