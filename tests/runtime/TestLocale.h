// A locale with other separators than the C locale's, compiled for the tests.
#pragma once

#include <locale.h>

#include <clocale>

namespace orvane::test {

// fi_FI.UTF-8 ("," decimal separator, "%d.%m.%Y", "%H.%M.%S"), built once with localedef
// under a private LOCPATH; null when localedef or its sources are missing.
locale_t FinnishLocale();
inline constexpr const char* FinnishLocaleName = "fi_FI.UTF-8";

// The process locale set to `name` for a scope, the C locale again afterwards.
struct ProcessLocale {
    explicit ProcessLocale(const char* name) : set(std::setlocale(LC_ALL, name) != nullptr) {}
    ~ProcessLocale() { std::setlocale(LC_ALL, "C"); }
    const bool set;
};

}  // namespace orvane::test
