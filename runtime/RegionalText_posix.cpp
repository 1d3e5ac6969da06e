// Regional date and time texts from the POSIX locale: nl_langinfo's formats and strftime.
#include "runtime/RegionalText.h"

#include <langinfo.h>

#include "runtime/RegionalTextPosix.h"

namespace orvane {

namespace {

// strftime with `locale`, or with the process's locale when `locale` is null (the *_l
// functions do not accept LC_GLOBAL_LOCALE).
std::string FormatTime(const std::tm& time, const char* format, locale_t locale) {
    if (format == nullptr || *format == '\0') return {};
    char buffer[256];
    const std::size_t length = locale ? strftime_l(buffer, sizeof buffer, format, &time, locale)
                                      : std::strftime(buffer, sizeof buffer, format, &time);
    return std::string(buffer, length);
}

const char* LangInfo(nl_item item, locale_t locale) {
    return locale ? nl_langinfo_l(item, locale) : nl_langinfo(item);
}

}  // namespace

std::string DateSeparator(locale_t locale) {
    return SeparatorOfFormat(LangInfo(D_FMT, locale), "/");
}

std::string TimeSeparator(locale_t locale) {
    return SeparatorOfFormat(LangInfo(T_FMT, locale), ":");
}

std::string ShortDateText(const std::tm& time, locale_t locale) {
    return FormatTime(time, LangInfo(D_FMT, locale), locale);
}

std::string LongTimeText(const std::tm& time, locale_t locale) {
    return FormatTime(time, LangInfo(T_FMT, locale), locale);
}

std::string DateSeparator() { return DateSeparator(nullptr); }

std::string TimeSeparator() { return TimeSeparator(nullptr); }

std::string ShortDateText(const std::tm& time) { return ShortDateText(time, nullptr); }

std::string LongTimeText(const std::tm& time) { return LongTimeText(time, nullptr); }

}  // namespace orvane
