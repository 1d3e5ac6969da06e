// Texts on POSIX: the program's UTF-8 is the system's own; the UTF-8 validity test.
#include "runtime/SystemText.h"

namespace orvane {

namespace {

// The length of the UTF-8 sequence starting with `lead`, 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Checks the continuation bytes and the ranges that rule out overlong forms, surrogates
// and values beyond U+10FFFF.
bool IsValidSequence(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    for (std::size_t i = 1; i < sequence.size(); ++i)
        if ((static_cast<unsigned char>(sequence[i]) & 0xC0) != 0x80) return false;
    if (sequence.size() < 3) return true;
    const auto second = static_cast<unsigned char>(sequence[1]);
    if (lead == 0xE0 && second < 0xA0) return false;
    if (lead == 0xED && second > 0x9F) return false;
    if (lead == 0xF0 && second < 0x90) return false;
    if (lead == 0xF4 && second > 0x8F) return false;
    return true;
}

}  // namespace

std::string SystemText(std::string_view utf8) { return std::string(utf8); }

bool IsSystemText(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[0]));
        if (length == 0 || length > bytes.size() || !IsValidSequence(bytes.substr(0, length)))
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::filesystem::path PathOf(const std::string& systemText) { return systemText; }
std::string TextOf(const std::filesystem::path& path) { return path.native(); }

}  // namespace orvane
