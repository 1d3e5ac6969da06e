// Texts on Windows: UTF-8 literals converted to the ANSI code page through UTF-16, and the test
// of bytes against that code page.
#include "runtime/SystemText.h"

#include <windows.h>

namespace orvane {

namespace {

std::wstring Wide(std::string_view text, UINT codePage, DWORD flags) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

// UTF-16 in the ANSI code page.
std::string Ansi(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

std::string SystemText(std::string_view utf8) { return Ansi(Wide(utf8, CP_UTF8, 0)); }

bool IsSystemText(std::string_view bytes) {
    return bytes.empty() || !Wide(bytes, CP_ACP, MB_ERR_INVALID_CHARS).empty();
}

std::filesystem::path PathOf(const std::string& systemText) { return Wide(systemText, CP_ACP, 0); }

std::string TextOf(const std::filesystem::path& path) { return Ansi(path.native()); }

}  // namespace orvane
