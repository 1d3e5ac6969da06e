// Reading dotted IPv4 addresses without the platform's resolver.
#include "runtime/Ipv4Text.h"

#include <charconv>

namespace orvane {

std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const auto digits = static_cast<std::size_t>(end - text.data());
        if (error != std::errc() || digits == 0 || digits > 3 || value > 255) return std::nullopt;
        address = address << 8 | value;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return std::nullopt;
    return address;
}

}  // namespace orvane
