// Result strings as OLE Automation strings: SysAllocStringByteLen, freed by the caller.
#include "ResultString.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

namespace raradozo::detail {

RzString AllocResultString(const void* bytes, std::size_t count) {
    if (count > UINT32_MAX - 6) return nullptr;
    // The system copies `count` bytes when given them, and zero-fills when given none.
    BSTR text = SysAllocStringByteLen(static_cast<const char*>(bytes), static_cast<UINT>(count));
    return reinterpret_cast<RzString>(text);
}

}  // namespace raradozo::detail
