// Date and time texts built from the regional formats and separators.
#include "RegionalText.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace orvane {

namespace {

// Two or four decimal digits, zero-padded, from a field that std::tm keeps in range.
std::string Digits(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

}  // namespace

std::string SeparatorOfFormat(std::string_view format, std::string_view fallback) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(format[i]);
        if (c == '%') {
            // Skip the conversion's flags and modifiers up to its letter.
            ++i;
            while (i < format.size() && std::strchr("-_0^#EO", format[i]) != nullptr) ++i;
            if (i >= format.size()) break;
            if (format[i] == 'D') return "/";
            if (format[i] == 'T' || format[i] == 'R') return ":";
            if (format[i] == 'F') return "-";
            continue;
        }
        if (!std::isalnum(c) && !std::isspace(c) && c < 0x80) return std::string(1, format[i]);
    }
    return std::string(fallback);
}

std::string LogDateText(const std::tm& time, std::string_view separator) {
    const std::string sep(separator);
    return Digits(time.tm_mday, 2) + sep + Digits(time.tm_mon + 1, 2) + sep +
           Digits(time.tm_year + 1900, 4);
}

std::string LogTimeText(const std::tm& time, std::string_view separator) {
    const std::string sep(separator);
    return Digits(time.tm_hour, 2) + sep + Digits(time.tm_min, 2) + sep + Digits(time.tm_sec, 2);
}

std::string LogDateText(const std::tm& time) { return LogDateText(time, DateSeparator()); }

std::string LogTimeText(const std::tm& time) { return LogTimeText(time, TimeSeparator()); }

}  // namespace orvane
