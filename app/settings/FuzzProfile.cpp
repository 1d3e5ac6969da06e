// libFuzzer target: the profile reader over arbitrary file content and names.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/ProfileReader.h"

using orvane::settings::ProfileLine;
using orvane::settings::ProfileLineKind;

// The input is split at its first two NUL bytes into section, key and file content, so the
// fuzzer can steer the names as well as the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto first = input.find('\0');
    const std::string_view section = input.substr(0, first);
    std::string_view rest = first == std::string_view::npos ? "" : input.substr(first + 1);
    const auto second = rest.find('\0');
    const std::string_view key = rest.substr(0, second);
    const std::string_view content =
        second == std::string_view::npos ? "" : rest.substr(second + 1);

    const std::string value = orvane::settings::ReadProfileString(content, section, key);
    if (value.size() > orvane::settings::ProfileValueLimit) __builtin_trap();
    if (value.find('\0') != std::string::npos) __builtin_trap();

    // The lines rebuild the content exactly: what the settings tool relies on to edit a file.
    std::size_t rebuilt = 0;
    for (const ProfileLine& line : orvane::settings::ParseProfile(content)) {
        if (content.substr(rebuilt, line.text.size()) != line.text) __builtin_trap();
        rebuilt += line.text.size();
        if (content.substr(rebuilt, line.terminator.size()) != line.terminator) __builtin_trap();
        rebuilt += line.terminator.size();
    }
    if (rebuilt != content.size()) __builtin_trap();
    return 0;
}
