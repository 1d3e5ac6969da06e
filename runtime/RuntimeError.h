// Run-time errors as values: the error number and its description, as the program's users see them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvane {

// The error numbers the program raises. The numbering is the one users of the
// program know from its message box; a number never changes meaning.
enum class ErrorNumber : int32_t {
    InvalidProcedureCall = 5,
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    FileNotFound = 53,
    FileAlreadyOpen = 55,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    InternalError = 51,
    DllLoadError = 48,
    DllEntryPointNotFound = 453,
};

// The Italian description of an error number, in the system's encoding (SystemText.h).
std::string ErrorDescription(ErrorNumber number);

// An untrapped run-time error. `detail` adds context (the key and file for a setting, say);
// it never carries a secret.
class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(ErrorNumber number, std::string detail = {});

    ErrorNumber number() const { return number_; }
    int32_t code() const { return static_cast<int32_t>(number_); }
    const std::string& description() const { return description_; }
    const std::string& detail() const { return detail_; }

  private:
    ErrorNumber number_;
    std::string description_;
    std::string detail_;
};

// A RuntimeError for a failed file operation, chosen from errno.
RuntimeError FileError(int errnoValue, const std::string& path);

}  // namespace orvane
