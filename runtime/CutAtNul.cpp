// CutAtNul: a fixed-width system text field to a string.
#include "CutAtNul.h"

#include "RuntimeError.h"

namespace orvane {

std::string CutAtNul(std::string_view text) {
    const auto nul = text.find('\0');
    if (nul == std::string_view::npos) return std::string(text);
    if (nul + 1 > 32767) throw RuntimeError(ErrorNumber::Overflow);
    return std::string(text.substr(0, nul));
}

}  // namespace orvane
