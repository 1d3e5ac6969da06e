// The two cipher stages over the cores, in both directions, and the storable-text test.
#include "SettingCodec.h"

#include <cstdint>

#include <raradozo/cipher.h>

#include "runtime/SystemText.h"

namespace orvane::settings {

namespace {

std::span<uint8_t> Bytes(std::string& text) {
    return {reinterpret_cast<uint8_t*>(text.data()), text.size()};
}

bool IsWellFormedEncoding(std::string_view stored, uint32_t declaredLength) {
    if (stored.find_first_not_of(raradozo::CryptAlphabet) != std::string_view::npos) return false;
    return declaredLength > 0 && stored.size() == raradozo::EncodedLength(declaredLength);
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

bool IsStorableText(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           IsSystemText(text);
}

}  // namespace orvane::settings
