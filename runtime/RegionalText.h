// Date and time as text in the forms of the regional settings (the POSIX locale on Linux, the
// user's regional settings on Windows).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace orvane {

// The separator a date or time format uses: its first punctuation character outside a
// conversion ("%d.%m.%Y" gives "."); %D and %T stand for "/" and ":". `fallback` when none.
std::string SeparatorOfFormat(std::string_view format, std::string_view fallback);

// "dd/mm/yyyy" with `separator` in place of "/": the event log's date.
std::string LogDateText(const std::tm& time, std::string_view separator);
// "hh:mm:ss" on the 24-hour clock with `separator` in place of ":": the event log's time.
std::string LogTimeText(const std::tm& time, std::string_view separator);

// The regional date and time separators, and the short date and long time forms (on Linux
// those of the process's current locale, as set by setlocale).
std::string DateSeparator();
std::string TimeSeparator();
std::string LogDateText(const std::tm& time);
std::string LogTimeText(const std::tm& time);
std::string ShortDateText(const std::tm& time);
std::string LongTimeText(const std::tm& time);

}  // namespace orvane
