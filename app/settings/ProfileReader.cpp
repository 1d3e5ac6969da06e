// The profile reader: line splitting, classification and the first-match lookup.
#include "ProfileReader.h"

namespace orvane::settings {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// One pair of matching quotes around the whole value is removed, as the system reader does.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value as a read hands it back: zero-terminated, so cut at a NUL, and at most the limit.
std::string_view Deliverable(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    return value.substr(0, ProfileValueLimit);
}

void Classify(ProfileLine& line, std::string_view body) {
    const std::string_view trimmed = Trim(body);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return;
    if (trimmed.front() == '[') {
        const auto close = trimmed.find(']');
        if (close == std::string_view::npos) return;
        line.kind = ProfileLineKind::Section;
        line.name = Trim(trimmed.substr(1, close - 1));
        return;
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) return;
    line.kind = ProfileLineKind::Entry;
    line.name = Trim(trimmed.substr(0, equals));
    line.value = Deliverable(Unquote(Trim(trimmed.substr(equals + 1))));
}

// Takes the next line off the front of `rest`.
ProfileLine NextLine(std::string_view& rest) {
    ProfileLine line;
    const auto end = rest.find_first_of("\r\n");
    line.text = rest.substr(0, end);
    if (end == std::string_view::npos) {
        rest = {};
    } else {
        const std::size_t length = rest.substr(end).starts_with("\r\n") ? 2 : 1;
        line.terminator = rest.substr(end, length);
        rest.remove_prefix(end + length);
    }
    return line;
}

}  // namespace

std::vector<ProfileLine> ParseProfile(std::string_view content) {
    std::vector<ProfileLine> lines;
    std::string_view rest = content;
    bool first = true;
    while (!rest.empty()) {
        ProfileLine line = NextLine(rest);
        std::string_view body = line.text;
        if (first && body.starts_with(ByteOrderMark)) body.remove_prefix(ByteOrderMark.size());
        first = false;
        Classify(line, body);
        lines.push_back(line);
    }
    return lines;
}

bool SameProfileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
    bool inside = false;  // within the first section of that name
    for (const ProfileLine& line : ParseProfile(content)) {
        if (line.kind == ProfileLineKind::Section) {
            if (inside) return std::nullopt;
            inside = SameProfileName(line.name, section);
        } else if (line.kind == ProfileLineKind::Entry && inside &&
                   SameProfileName(line.name, key)) {
            return std::string(line.value);
        }
    }
    return std::nullopt;
}

std::string ReadProfileString(std::string_view content, std::string_view section,
                              std::string_view key) {
    return FindProfileValue(content, section, key).value_or(std::string());
}

}  // namespace orvane::settings
