// What a public-address service answers: the address alone as plain text, or a small page that
// says "Current IP Address: a.b.c.d".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::ftp {

// The largest answer read; anything longer is no such answer.
inline constexpr std::size_t kLargestAddressAnswer = 4096;

// The dotted IPv4 address the answer gives, or nothing when it gives none.
std::optional<std::string> ParsePublicAddress(std::string_view answer);

}  // namespace orvane::ftp
