// The platform's part of the support module's paths: separators and the program's own file.
#pragma once

#include <string>

namespace orvane::mCrypt::platform {

// True for a character that separates directories in a path ("/"; on Windows "\" too).
bool IsDirectorySeparator(char c);
// The full path of the running program's file.
std::string ExecutablePath();

}  // namespace orvane::mCrypt::platform
