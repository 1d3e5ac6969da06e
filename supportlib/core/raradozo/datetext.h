// The 14-digit local date-and-time text "YYYYMMDDhhmmss" and a file's last-write time.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

namespace raradozo {

inline constexpr std::size_t DateTextLength = 14;

struct DateTimeFields {
    int year, month, day, hour, minute, second;
    bool operator==(const DateTimeFields&) const = default;
};

// The six fields at fixed positions (4, 2, 2, 2, 2, 2 characters), each read like atoi:
// leading white space, an optional sign, digits up to the first non-digit, 0 without digits.
// `text` must hold at least DateTextLength characters.
DateTimeFields ParseDateText(const char* text);

// "%04u%02u%02u%02u%02u%02u"; empty when a field is negative or too wide for its digits.
std::string FormatDateText(const DateTimeFields& fields);

// The moment the fields name in local time; empty when no such local time exists (month 13,
// day 32, hour 24, a time skipped by a daylight-saving change) or the year is outside
// 1601..9999, the range the Windows build of the library can represent.
std::optional<std::time_t> LocalTimeFromFields(const DateTimeFields& fields);

// The local date and time of a moment.
std::optional<DateTimeFields> LocalFieldsFromTime(std::time_t moment);

// The file's last-write time as a date text; empty when the file does not exist, cannot be
// opened for reading, is a directory, or its time needs more than 14 digits.
std::string FileDateText(const char* path);

// Sets only the file's last-write time (the access time stays) from a date text. Does nothing
// and returns false for a null or short text, a date and time that is not valid (a deliberate
// choice: the file keeps its time rather than receiving an arbitrary one), or a file that cannot
// be opened for writing.
bool SetFileDateText(const char* path, const char* text);

}  // namespace raradozo
