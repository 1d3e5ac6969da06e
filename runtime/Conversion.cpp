// Text to number: a strict parser of the runtime's numeric notation over std::from_chars.
#include "Conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "RuntimeError.h"
#include "runtime/ConversionPlatform.h"

namespace orvane {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Copies the digits at the front of `rest` to `out`, consuming them; returns how many there were.
std::size_t TakeDigits(std::string_view& rest, std::string& out) {
    std::size_t count = 0;
    while (count < rest.size() && IsDigit(rest[count])) ++count;
    out.append(rest.substr(0, count));
    rest.remove_prefix(count);
    return count;
}

// The text rewritten in the notation std::from_chars reads ("." as separator, no "+"),
// or an empty string when it is not a number.
std::string Normalise(std::string_view text, std::string_view decimalSeparator) {
    std::string out;
    std::string_view rest = TrimBlanks(text);
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        if (rest.front() == '-') out += '-';
        rest.remove_prefix(1);
    }
    std::size_t mantissaDigits = TakeDigits(rest, out);
    if (!decimalSeparator.empty() && rest.starts_with(decimalSeparator)) {
        rest.remove_prefix(decimalSeparator.size());
        out += '.';
        mantissaDigits += TakeDigits(rest, out);
    }
    if (mantissaDigits == 0) return {};
    if (!rest.empty() && (rest.front() == 'e' || rest.front() == 'E')) {
        rest.remove_prefix(1);
        out += 'e';
        if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
            if (rest.front() == '-') out += '-';
            rest.remove_prefix(1);
        }
        if (TakeDigits(rest, out) == 0) return {};
    }
    if (!rest.empty()) return {};
    return out;
}

// Rounds to the nearest integer, a half going to the even neighbour, whatever the
// floating-point environment's rounding mode is.
double RoundHalfToEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5) return lower;
    if (fraction > 0.5) return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

}  // namespace

double ToDouble(std::string_view text, std::string_view decimalSeparator) {
    const std::string normal = Normalise(text, decimalSeparator);
    if (normal.empty()) throw RuntimeError(ErrorNumber::TypeMismatch);
    // strtod tells a too large value (HUGE_VAL) from an underflow, which reads as zero or
    // nearly so.
    char* end = nullptr;
    errno = 0;
    const double value = StrtodClassic(normal.c_str(), &end);
    if (end != normal.c_str() + normal.size()) throw RuntimeError(ErrorNumber::TypeMismatch);
    if (errno == ERANGE && std::isinf(value)) throw RuntimeError(ErrorNumber::Overflow);
    return value;
}

int32_t ToInt32(std::string_view text, std::string_view decimalSeparator) {
    const double rounded = RoundHalfToEven(ToDouble(text, decimalSeparator));
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw RuntimeError(ErrorNumber::Overflow);
    return static_cast<int32_t>(rounded);
}

double ToDouble(std::string_view text) { return ToDouble(text, LocaleDecimalSeparator()); }

int32_t ToInt32(std::string_view text) { return ToInt32(text, LocaleDecimalSeparator()); }

}  // namespace orvane
