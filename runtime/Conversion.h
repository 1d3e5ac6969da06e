// Text to number as the runtime converts settings: the locale's decimal separator, banker's
// rounding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

// The decimal separator of the current C locale (LC_NUMERIC), "." in the C locale.
std::string LocaleDecimalSeparator();

// Reads a number: spaces, an optional sign, digits with an optional fraction after
// `decimalSeparator`, an optional exponent ("e" or "E", optional sign, digits), spaces.
// Empty or non-numeric text is a TypeMismatch error; a value beyond the range of double
// is an Overflow error.
double ToDouble(std::string_view text, std::string_view decimalSeparator);

// As ToDouble, then rounded to the nearest integer with halves going to the even neighbour;
// a result outside the 32-bit range is an Overflow error.
int32_t ToInt32(std::string_view text, std::string_view decimalSeparator);

// The same with the current locale's decimal separator.
double ToDouble(std::string_view text);
int32_t ToInt32(std::string_view text);

}  // namespace orvane
