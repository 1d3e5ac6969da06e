// libFuzzer target: a public-address service's answer, which comes from outside.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ftp/PublicAddress.h"
#include "runtime/Ipv4Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    const auto address = orvane::ftp::ParsePublicAddress(answer);
    // Whatever it gives is one dotted address, nothing around it.
    if (address && !orvane::ParseIpv4(*address)) __builtin_trap();
    return 0;
}
