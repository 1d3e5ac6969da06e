// Text to number on POSIX: the locale's radix character, strtod in the C locale.
#include "runtime/Conversion.h"

#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

#include "runtime/ConversionPlatform.h"
#include "runtime/RuntimeError.h"

namespace orvane {

std::string LocaleDecimalSeparator() {
    const char* radix = nl_langinfo(RADIXCHAR);
    if (radix == nullptr || *radix == '\0') return ".";
    return radix;
}

double StrtodClassic(const char* text, char** end) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    if (cLocale == static_cast<locale_t>(0)) throw RuntimeError(ErrorNumber::InternalError);
    return strtod_l(text, end, cLocale);
}

}  // namespace orvane
