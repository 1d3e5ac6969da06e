// libFuzzer target: arbitrary bytes as encoded text, through DecodeText and c_DeCrypt.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raradozo/bstr.h"
#include "raradozo/cipher.h"
#include "raradozo/raradozo.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

unsigned IndexOf(char c) { return static_cast<unsigned>(raradozo::CryptAlphabet.find(c)); }

// A text the encoder itself could have written for the decoded bytes: every character from the
// alphabet, an odd step, the length field matching the group count, and zero padding.
bool EncoderCouldWrite(std::span<const char> text, const raradozo::Decoded& decoded,
                       const std::vector<uint8_t>& out) {
    for (char c : text)
        if (raradozo::CryptAlphabet.find(c) == std::string_view::npos) return false;
    if (text.size() < 2 || IndexOf(text[1]) % 2 == 0) return false;
    if (decoded.declaredLength == 0 ||
        raradozo::EncodedLength(decoded.declaredLength) != text.size()) {
        return false;
    }
    for (std::size_t i = decoded.declaredLength; i < decoded.written; ++i)
        if (out[i] != 0) return false;
    return true;
}

void CheckDecode(std::span<const char> text) {
    // Exactly sized heap buffers: the sanitizer reports any write past them.
    std::vector<uint8_t> out(text.size());
    const auto decoded = raradozo::DecodeText(text, out);
    Require(decoded.written <= out.size());

    std::vector<uint8_t> half(text.size() / 2);
    const auto partial = raradozo::DecodeText(text, half);
    Require(partial.declaredLength == decoded.declaredLength);
    Require(partial.written == std::min(decoded.written, half.size()));
    Require(partial.written == 0 || std::memcmp(half.data(), out.data(), partial.written) == 0);

    if (EncoderCouldWrite(text, decoded, out)) {
        std::vector<char> again(text.size());
        const std::size_t written = raradozo::EncodeText({out.data(), decoded.declaredLength},
                                                         again, IndexOf(text[0]), IndexOf(text[1]));
        Require(written == text.size() && std::memcmp(again.data(), text.data(), written) == 0);
    }
}

void CheckExportedDecode(std::span<const char> text) {
    const auto count = static_cast<int32_t>(text.size());
    char* result = c_DeCrypt(text.data(), count);
    Require(result != nullptr && SysStringByteLen(result) <= text.size());
    SysFreeString(result);
}

// The same bytes taken as plain text must survive encoding and decoding.
void CheckRoundTrip(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    std::vector<char> text(raradozo::EncodedLength(size));
    Require(raradozo::EncodeText({data, size}, text, data[0], static_cast<unsigned>(size)) ==
            text.size());
    std::vector<uint8_t> plain(text.size());
    const auto decoded = raradozo::DecodeText(text, plain);
    Require(decoded.declaredLength == size && decoded.written >= size);
    Require(std::memcmp(plain.data(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const char> text(reinterpret_cast<const char*>(data), size);
    CheckDecode(text);
    CheckExportedDecode(text);
    CheckRoundTrip(data, size);
    return 0;
}
