// Allocation of result strings in the layout callers free with SysFreeString.
#include "ResultString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace raradozo::detail {

RzString AllocResultString(const void* bytes, std::size_t count) {
    if (count > UINT32_MAX - 6) return nullptr;
    auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + count + 2));
    if (block == nullptr) return nullptr;
    const auto length = static_cast<uint32_t>(count);
    std::memcpy(block, &length, sizeof length);
    char* data = block + sizeof length;
    if (count > 0) std::memcpy(data, bytes, count);
    data[count] = '\0';
    data[count + 1] = '\0';
    return data;
}

}  // namespace raradozo::detail
