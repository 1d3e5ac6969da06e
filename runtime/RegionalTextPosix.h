// Regional date and time texts of a given POSIX locale (Linux).
#pragma once

#include <locale.h>

#include <ctime>
#include <string>

namespace orvane {

// The given locale's date and time separators and its short date and time forms;
// a null locale stands for the process's current one.
std::string DateSeparator(locale_t locale);
std::string TimeSeparator(locale_t locale);
std::string ShortDateText(const std::tm& time, locale_t locale);
std::string LongTimeText(const std::tm& time, locale_t locale);

}  // namespace orvane
