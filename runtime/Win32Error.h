// Run-time errors from the Windows system's error codes (GetLastError).
#pragma once

#include <string>
#include <string_view>

#include "runtime/RuntimeError.h"

namespace orvane {

// The error number a file operation's system error code stands for.
ErrorNumber FileErrorNumber(unsigned long code);
// The system's own words for an error code, without a trailing line break.
std::string SystemErrorText(unsigned long code);
// A RuntimeError for a failed file operation: its number from the code, the detail saying what
// was done to which path and the system's words for why it failed.
RuntimeError Win32FileFailure(unsigned long code, std::string_view what, const std::string& path);

}  // namespace orvane
