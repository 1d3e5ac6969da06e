// The IPv4 ranges that the Internet does not route, as the address registries list them.
#include "dialup/AddressScope.h"

#include <array>
#include <cstdint>

#include "runtime/Ipv4Text.h"

namespace orvane::dialup {

namespace {

struct Range {
    uint32_t first;
    int prefix;
};

constexpr uint32_t Dotted(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

constexpr std::array<Range, 16> kNotRouted = {{
    {Dotted(0, 0, 0, 0), 8},        // this network
    {Dotted(10, 0, 0, 0), 8},       // private
    {Dotted(100, 64, 0, 0), 10},    // shared address space (carrier-grade NAT)
    {Dotted(127, 0, 0, 0), 8},      // loopback
    {Dotted(169, 254, 0, 0), 16},   // link-local
    {Dotted(172, 16, 0, 0), 12},    // private
    {Dotted(192, 0, 0, 0), 24},     // protocol assignments
    {Dotted(192, 0, 2, 0), 24},     // documentation (TEST-NET-1)
    {Dotted(192, 31, 196, 0), 24},  // AS112
    {Dotted(192, 52, 193, 0), 24},  // AMT
    {Dotted(192, 168, 0, 0), 16},   // private
    {Dotted(198, 18, 0, 0), 15},    // benchmarking
    {Dotted(198, 51, 100, 0), 24},  // documentation (TEST-NET-2)
    {Dotted(203, 0, 113, 0), 24},   // documentation (TEST-NET-3)
    {Dotted(224, 0, 0, 0), 3},      // multicast, reserved, broadcast
    {Dotted(192, 175, 48, 0), 24},  // direct delegation AS112
}};

}  // namespace

bool IsGloballyRoutable(std::string_view dotted) {
    const auto address = ParseIpv4(dotted);
    if (!address) return false;
    for (const Range& range : kNotRouted) {
        const uint32_t mask = ~uint32_t{0} << (32 - range.prefix);
        if ((*address & mask) == range.first) return false;
    }
    return true;
}

}  // namespace orvane::dialup
