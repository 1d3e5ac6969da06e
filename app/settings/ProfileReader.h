// The settings file's reader: INI sections and keys with the rules of the system's profile reader.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::settings {

// The longest value a read returns: the reader's buffer of 10240 less its terminating NUL.
inline constexpr std::size_t ProfileValueLimit = 10239;

enum class ProfileLineKind { Other, Section, Entry };

// One line of a profile as the reader sees it. `text` + `terminator` is the line exactly as
// in the file, so a file can be rebuilt from its lines.
struct ProfileLine {
    std::string_view text;        // the line without its terminator
    std::string_view terminator;  // "\r\n", "\n", "\r", or "" on a last line without one
    ProfileLineKind kind = ProfileLineKind::Other;
    std::string_view name;   // Section: its name; Entry: its key; both trimmed
    std::string_view value;  // Entry: trimmed, one pair of quotes removed, cut
};

// Splits a profile into its lines and classifies each:
// - a line whose trimmed text starts with '[' and holds a ']' is a section header;
// - a line starting with ';' or '#' is a comment (Other);
// - a line holding '=' is an entry, the key before the first '=', the value after it;
// - anything else is Other and ignored.
// Lines end with CR LF, LF or a lone CR. A UTF-8 byte order mark before the first line is
// kept in its text but does not count in its classification.
std::vector<ProfileLine> ParseProfile(std::string_view content);

// Section and key names compare without regard to (ASCII) case.
bool SameProfileName(std::string_view a, std::string_view b);

// The value of `key` in the first section named `section`, or nothing when the section or
// the key is not there. The first entry of the key wins; later sections of the same name
// are not searched. The value is cut at a NUL byte and to ProfileValueLimit characters.
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);

// FindProfileValue with an empty text for a missing section or key.
std::string ReadProfileString(std::string_view content, std::string_view section,
                              std::string_view key);

// The line end of a settings file written anew: the system's own, CR LF on Windows, LF elsewhere.
extern const std::string_view NewFileLineEnd;

// The whole content of a regular file, or nothing when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace orvane::settings
