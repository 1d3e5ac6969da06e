// The library's string results: malloc'd, 32-bit byte count before the data, two zero bytes after.
#pragma once

#include <cstddef>
#include <string_view>

#include "raradozo/raradozo.h"

namespace raradozo::detail {

// A new result string holding a copy of `count` bytes (any values); null only when memory runs
// out. The caller releases it with SysFreeString.
RzString AllocResultString(const void* bytes, std::size_t count);

inline RzString EmptyResultString() { return AllocResultString(nullptr, 0); }

}  // namespace raradozo::detail
