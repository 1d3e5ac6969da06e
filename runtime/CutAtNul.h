// Fixed-width text fields handed back by the system, turned into strings.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// The characters before the first NUL, or the whole text when it holds none.
// A first NUL beyond position 32767 is an overflow error, as the position is a 16-bit value.
std::string CutAtNul(std::string_view text);

}  // namespace orvane
