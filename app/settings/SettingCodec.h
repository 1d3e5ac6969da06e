// Stored settings encoded and decoded with the cipher cores: what the settings tool writes and
// checks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::settings {

// The longest plain text whose encoded form still fits in a value the reader returns whole.
inline constexpr std::size_t MaxEncodablePlainLength = 7674;

// The stored form of `plain`: the keyed buffer cipher with `key`, then the text encoding.
// The inverse of the program's decoding. Empty text encodes to empty text.
std::string EncodeSetting(std::string_view plain, const std::string& key);

// Decodes a stored value with the cipher cores and `key`. Nothing when the value is not a text
// the encoder writes: empty, a character outside the encoding's set, or a length that does not
// agree with the byte count it declares.
std::optional<std::string> DecodeSettingWithCore(std::string_view stored, const std::string& key);

// True when `stored` is a text the encoder writes: not empty, only characters of the
// encoding's set, and as long as the byte count it declares requires.
bool IsEncodedSetting(std::string_view stored);
// Text a settings value may hold and an FTP command can carry: text in the system's encoding
// (UTF-8 on Linux, the ANSI code page on Windows) without NUL, CR or LF. Tabs and other
// characters are the server's to judge.
bool IsStorableText(std::string_view text);

}  // namespace orvane::settings
