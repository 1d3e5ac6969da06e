// Dotted IPv4 address texts, read strictly: what a link service or an address service reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvane {

// The address in host order, for exactly four decimal parts of one to three digits, each below
// 256, and nothing else around them.
std::optional<uint32_t> ParseIpv4(std::string_view dotted);

}  // namespace orvane
