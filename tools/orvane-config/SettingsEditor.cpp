// Editing a settings file's text line by line, with the reader's own view of its lines.
#include "orvane-config/SettingsEditor.h"

#include <optional>

#include "settings/ProfileReader.h"

namespace orvane::config {

namespace {

using settings::ProfileLine;
using settings::ProfileLineKind;

struct Lines {
    std::vector<std::string> text;        // each line without its terminator
    std::vector<std::string> terminator;  // each line's own terminator
    std::vector<ProfileLine> parsed;      // views into the content they came from
};

Lines Split(const std::string& content) {
    Lines lines;
    lines.parsed = settings::ParseProfile(content);
    for (const ProfileLine& line : lines.parsed) {
        lines.text.emplace_back(line.text);
        lines.terminator.emplace_back(line.terminator);
    }
    return lines;
}

std::string Join(const Lines& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.text.size(); ++i)
        joined += lines.text[i] + lines.terminator[i];
    return joined;
}

// The file's own line end, `otherwise` for a file that has none yet.
std::string LineEndOf(std::string_view content, std::string_view otherwise) {
    for (const ProfileLine& line : settings::ParseProfile(content))
        if (!line.terminator.empty()) return std::string(line.terminator);
    return std::string(otherwise);
}

std::optional<std::size_t> FindSection(const Lines& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.parsed.size(); ++i)
        if (lines.parsed[i].kind == ProfileLineKind::Section &&
            settings::SameProfileName(lines.parsed[i].name, section))
            return i;
    return std::nullopt;
}

// Inserts a line before `index`; the line before it gets a terminator if it had none.
void InsertLine(Lines& lines, std::size_t index, std::string text, const std::string& lineEnd) {
    if (index > 0 && lines.terminator[index - 1].empty()) lines.terminator[index - 1] = lineEnd;
    lines.text.insert(lines.text.begin() + static_cast<std::ptrdiff_t>(index), std::move(text));
    lines.terminator.insert(lines.terminator.begin() + static_cast<std::ptrdiff_t>(index), lineEnd);
}

std::string SetOne(const std::string& content, const ProfileAssignment& assignment,
                   const std::string& lineEnd) {
    Lines lines = Split(content);
    const std::string entry = assignment.key + "=" + ProfileValueText(assignment.value);
    const auto section = FindSection(lines, assignment.section);
    if (!section) {
        std::size_t end = lines.text.size();
        if (end > 0 && !lines.text[end - 1].empty()) InsertLine(lines, end++, "", lineEnd);
        InsertLine(lines, end, "[" + assignment.section + "]", lineEnd);
        InsertLine(lines, end + 1, entry, lineEnd);
        return Join(lines);
    }
    // A new key goes after the section's last entry; in a section without entries, after
    // its last comment, so that comments under the header stay there.
    std::size_t afterEntry = 0, afterText = *section + 1;
    for (std::size_t i = *section + 1; i < lines.parsed.size(); ++i) {
        const ProfileLine& line = lines.parsed[i];
        if (line.kind == ProfileLineKind::Section) break;
        if (line.text.find_first_not_of(" \t") != std::string_view::npos) afterText = i + 1;
        if (line.kind != ProfileLineKind::Entry) continue;
        if (settings::SameProfileName(line.name, assignment.key)) {
            lines.text[i] = entry;
            return Join(lines);
        }
        afterEntry = i + 1;
    }
    InsertLine(lines, afterEntry != 0 ? afterEntry : afterText, entry, lineEnd);
    return Join(lines);
}

bool IsOuterSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

}  // namespace

std::string ProfileValueText(std::string_view value) {
    if (value.empty()) return {};
    const bool outerSpace = IsOuterSpace(value.front()) || IsOuterSpace(value.back());
    const bool looksQuoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                             value.back() == value.front();
    if (outerSpace || looksQuoted) return "\"" + std::string(value) + "\"";
    return std::string(value);
}

std::string SetProfileValues(std::string_view content,
                             const std::vector<ProfileAssignment>& assignments,
                             std::string_view newFileLineEnd) {
    const std::string lineEnd = LineEndOf(content, newFileLineEnd);
    std::string result(content);
    for (const ProfileAssignment& assignment : assignments)
        result = SetOne(result, assignment, lineEnd);
    return result;
}

}  // namespace orvane::config
