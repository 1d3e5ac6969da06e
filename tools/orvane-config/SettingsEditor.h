// Setting keys in the text of a settings file, changed in place with everything else kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::config {

struct ProfileAssignment {
    std::string section;
    std::string key;
    std::string value;  // as the reader should return it
};

// The value as written after "KEY=", so that the reader returns exactly `value`: quoted when
// the reader would otherwise strip its outer spaces or a pair of quotes.
std::string ProfileValueText(std::string_view value);

// `content` with every assignment made, finding sections and keys as the reader does: the
// first entry of the key in the first section of that name is rewritten in place; a missing
// key is added after the section's last entry; a missing section is added at the end. Other
// lines, comments, sections and line ends are kept byte for byte. New lines end as the file's
// lines do, or with `newFileLineEnd` in a file that has no line end yet.
std::string SetProfileValues(std::string_view content,
                             const std::vector<ProfileAssignment>& assignments,
                             std::string_view newFileLineEnd);

}  // namespace orvane::config
