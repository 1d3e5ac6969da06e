// Regional date and time texts from the user's regional settings (GetLocaleInfoA's formats).
#include "runtime/RegionalText.h"

#include <windows.h>

namespace orvane {

namespace {

// A regional setting's text, or `fallback` when the system has none.
std::string LocaleText(LCTYPE item, const char* fallback) {
    char buffer[128] = {};
    const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer);
    if (length <= 1) return fallback;
    return std::string(buffer, static_cast<std::size_t>(length - 1));
}

SYSTEMTIME ToSystemTime(const std::tm& time) {
    SYSTEMTIME fields{};
    fields.wYear = static_cast<WORD>(time.tm_year + 1900);
    fields.wMonth = static_cast<WORD>(time.tm_mon + 1);
    fields.wDay = static_cast<WORD>(time.tm_mday);
    fields.wDayOfWeek = static_cast<WORD>(time.tm_wday);
    fields.wHour = static_cast<WORD>(time.tm_hour);
    fields.wMinute = static_cast<WORD>(time.tm_min);
    fields.wSecond = static_cast<WORD>(time.tm_sec);
    return fields;
}

// The formatted text without its terminating NUL; empty when the system cannot format it.
std::string Text(const char* buffer, int length) {
    return length > 1 ? std::string(buffer, static_cast<std::size_t>(length - 1)) : std::string();
}

}  // namespace

std::string DateSeparator() { return LocaleText(LOCALE_SDATE, "/"); }

std::string TimeSeparator() { return LocaleText(LOCALE_STIME, ":"); }

std::string ShortDateText(const std::tm& time) {
    const SYSTEMTIME fields = ToSystemTime(time);
    const std::string format = LocaleText(LOCALE_SSHORTDATE, "dd/MM/yyyy");
    char buffer[128];
    return Text(buffer, GetDateFormatA(LOCALE_USER_DEFAULT, 0, &fields, format.c_str(), buffer,
                                       sizeof buffer));
}

std::string LongTimeText(const std::tm& time) {
    const SYSTEMTIME fields = ToSystemTime(time);
    const std::string format = LocaleText(LOCALE_STIMEFORMAT, "HH:mm:ss");
    char buffer[128];
    return Text(buffer, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &fields, format.c_str(), buffer,
                                       sizeof buffer));
}

}  // namespace orvane
