// The two cipher stages over the cores, in both directions, and the printable-text test.
#include "SettingCodec.h"

#include <cstdint>

#include <raradozo/cipher.h>

namespace orvane::settings {

namespace {

std::span<uint8_t> Bytes(std::string& text) {
    return {reinterpret_cast<uint8_t*>(text.data()), text.size()};
}

bool IsWellFormedEncoding(std::string_view stored, uint32_t declaredLength) {
    if (stored.find_first_not_of(raradozo::CryptAlphabet) != std::string_view::npos) return false;
    return declaredLength > 0 && stored.size() == raradozo::EncodedLength(declaredLength);
}

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

bool IsControl(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
    // U+0080 to U+009F, the C1 controls.
    return lead == 0xC2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
}

}  // namespace

std::string EncodeSetting(std::string_view plain, const std::string& key) {
    if (plain.empty()) return {};
    std::string buffer(plain);
    raradozo::XorBuffer(Bytes(buffer).data(), static_cast<int32_t>(buffer.size()), key.c_str());
    std::string encoded(raradozo::EncodedLength(buffer.size()), '\0');
    const std::size_t written =
        raradozo::EncodeText(Bytes(buffer), std::span<char>(encoded.data(), encoded.size()));
    encoded.resize(written);
    return encoded;
}

std::optional<std::string> DecodeSettingWithCore(std::string_view stored, const std::string& key) {
    std::string plain(stored.size(), '\0');
    const raradozo::Decoded decoded =
        raradozo::DecodeText(std::span<const char>(stored.data(), stored.size()), Bytes(plain));
    if (!IsEncodedSetting(stored)) return std::nullopt;
    plain.resize(decoded.declaredLength);
    raradozo::XorBuffer(Bytes(plain).data(), static_cast<int32_t>(plain.size()), key.c_str());
    return plain;
}

bool IsEncodedSetting(std::string_view stored) {
    std::string scratch(stored.size(), '\0');
    const raradozo::Decoded decoded =
        raradozo::DecodeText(std::span<const char>(stored.data(), stored.size()), Bytes(scratch));
    return IsWellFormedEncoding(stored, decoded.declaredLength) &&
           decoded.written >= decoded.declaredLength;
}

bool IsPrintableText(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[0]));
        if (length == 0 || length > text.size()) return false;
        const std::string_view sequence = text.substr(0, length);
        if (!IsValidSequence(sequence) || IsControl(sequence)) return false;
        text.remove_prefix(length);
    }
    return true;
}

}  // namespace orvane::settings
