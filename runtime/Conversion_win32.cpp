// Text to number on Windows: the regional decimal separator from GetLocaleInfoA.
#include "runtime/Conversion.h"

#include <windows.h>

#include <cstdlib>

#include "runtime/ConversionPlatform.h"

namespace orvane {

std::string LocaleDecimalSeparator() {
    char buffer[8] = {};
    const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer);
    if (length <= 1) return ".";
    return std::string(buffer, static_cast<std::size_t>(length - 1));
}

// The program never changes the C runtime's locale, which stays "C": strtod reads ".".
double StrtodClassic(const char* text, char** end) { return std::strtod(text, end); }

}  // namespace orvane
