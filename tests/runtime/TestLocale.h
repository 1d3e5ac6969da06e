// A locale with other separators than the C locale's, compiled for the tests into a temporary folder.
#pragma once

#include <locale.h>
#include <string>

namespace orvane::test {

// fi_FI.UTF-8 ("," decimal separator, "%d.%m.%Y", "%H.%M.%S"), built once with localedef
// under a private LOCPATH; null when localedef or its sources are missing.
locale_t FinnishLocale();

// The name to pass to setlocale for that locale (valid once FinnishLocale() is not null).
inline constexpr const char* FinnishLocaleName = "fi_FI.UTF-8";

}  // namespace orvane::test
