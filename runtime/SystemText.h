// Texts in the system's own encoding: UTF-8 on Linux, the ANSI code page on Windows, where every
// text that reaches a system call, the log or a message box must be in that code page.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvane {

// A text written in UTF-8 (the program's own literals) in the system's encoding. A character the
// system's encoding lacks becomes the system's replacement character.
std::string SystemText(std::string_view utf8);

// True when `bytes` read as text in the system's encoding: valid UTF-8 on Linux; on Windows
// what the system converts from its ANSI code page without complaint.
bool IsSystemText(std::string_view bytes);

// A path from its text in the system's encoding, and its text back: on Windows the ANSI code
// page, which std::filesystem's own narrow conversions do not use there.
std::filesystem::path PathOf(const std::string& systemText);
std::string TextOf(const std::filesystem::path& path);

}  // namespace orvane
