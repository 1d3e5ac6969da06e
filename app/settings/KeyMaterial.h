// The key material of the settings' stage-2 cipher: one constant, decoded by the program and the
// tool.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orvane::mCustom {

// The number of byte constants: the encoded form of a 128-byte key.
inline constexpr std::size_t KeyMaterialSize = 178;

// The constants, each the code of one character of the key's encoded text.
std::span<const uint8_t, KeyMaterialSize> KeyMaterial();

// The constants read as characters: the text that stage 1 turns into the key.
std::string KeyMaterialText();

// The key decoded with the cipher core, without the support library: what the settings tool
// uses. The program itself decodes the same constants through the deployed library.
std::string CoreCipherKey();

}  // namespace orvane::mCustom
