// Date-and-time text conversions: the fixed-position fields, the 14 digits, local time.
#include "raradozo/datetext.h"

#include <array>
#include <cstdio>

namespace raradozo {
namespace {

struct FieldPosition {
    std::size_t offset, width;
};
constexpr std::array<FieldPosition, 6> kFields = {
    {{0, 4}, {4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 2}}};

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi's rules on one field of at most four characters, so it cannot overflow.
int ParseField(const char* text, FieldPosition field) {
    const char* cursor = text + field.offset;
    const char* end = cursor + field.width;
    while (cursor < end && IsSpace(*cursor)) ++cursor;
    bool negative = false;
    if (cursor < end && (*cursor == '+' || *cursor == '-')) negative = *cursor++ == '-';
    int value = 0;
    while (cursor < end && IsDigit(*cursor)) value = value * 10 + (*cursor++ - '0');
    return negative ? -value : value;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

DateTimeFields ParseDateText(const char* text) {
    return {ParseField(text, kFields[0]), ParseField(text, kFields[1]),
            ParseField(text, kFields[2]), ParseField(text, kFields[3]),
            ParseField(text, kFields[4]), ParseField(text, kFields[5])};
}

std::string FormatDateText(const DateTimeFields& f) {
    if (!InRange(f.year, 0, 9999) || !InRange(f.month, 0, 99) || !InRange(f.day, 0, 99) ||
        !InRange(f.hour, 0, 99) || !InRange(f.minute, 0, 99) || !InRange(f.second, 0, 99)) {
        return {};
    }
    char text[DateTextLength + 1];
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", static_cast<unsigned>(f.year),
                  static_cast<unsigned>(f.month), static_cast<unsigned>(f.day),
                  static_cast<unsigned>(f.hour), static_cast<unsigned>(f.minute),
                  static_cast<unsigned>(f.second));
    return std::string(text, DateTextLength);
}

std::optional<DateTimeFields> LocalFieldsFromTime(std::time_t moment) {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) return std::nullopt;
    return DateTimeFields{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<std::time_t> LocalTimeFromFields(const DateTimeFields& fields) {
    if (!InRange(fields.year, 1601, 9999)) return std::nullopt;
    std::tm local{};
    local.tm_year = fields.year - 1900;
    local.tm_mon = fields.month - 1;
    local.tm_mday = fields.day;
    local.tm_hour = fields.hour;
    local.tm_min = fields.minute;
    local.tm_sec = fields.second;
    local.tm_isdst = -1;
    const std::time_t moment = std::mktime(&local);
    // mktime normalises out-of-range fields (month 13 becomes January); only a time that reads
    // back unchanged was a real local date and time.
    const auto readBack = LocalFieldsFromTime(moment);
    if (!readBack || *readBack != fields) return std::nullopt;
    return moment;
}

}  // namespace raradozo
