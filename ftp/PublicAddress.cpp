// Reading a public-address service's answer.
#include "ftp/PublicAddress.h"

#include <algorithm>

#include "runtime/Ipv4Text.h"

namespace orvane::ftp {

namespace {

constexpr std::string_view kPageLabel = "Current IP Address:";
constexpr std::string_view kSpace = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The address as its text, when `text` is exactly one.
std::optional<std::string> Address(std::string_view text) {
    if (!ParseIpv4(text)) return std::nullopt;
    return std::string(text);
}

}  // namespace

std::optional<std::string> ParsePublicAddress(std::string_view answer) {
    if (answer.size() > kLargestAddressAnswer) return std::nullopt;
    if (auto plain = Address(Trimmed(answer))) return plain;
    const auto label = answer.find(kPageLabel);
    if (label == std::string_view::npos) return std::nullopt;
    std::string_view rest = answer.substr(label + kPageLabel.size());
    rest.remove_prefix(std::min(rest.find_first_not_of(kSpace), rest.size()));
    return Address(rest.substr(0, rest.find_first_not_of("0123456789.")));
}

}  // namespace orvane::ftp
