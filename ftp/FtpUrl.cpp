// Escaping remote file names for ftp:// and sftp:// URLs.
#include "ftp/FtpUrl.h"

namespace orvane::ftp {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEscaped(std::string& out, std::string_view segment) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : segment) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

// `absolutePrefix` or `relativePrefix`, then the name's segments escaped and joined by "/".
std::optional<std::string> UrlPath(std::string_view remoteFile, std::string_view absolutePrefix,
                                   std::string_view relativePrefix) {
    if (remoteFile.empty() || remoteFile.back() == '/' || HoldsLineBreakOrNul(remoteFile)) {
        return std::nullopt;
    }
    std::string_view rest = remoteFile;
    std::string out(rest.front() == '/' ? absolutePrefix : relativePrefix);
    if (rest.front() == '/') rest.remove_prefix(1);
    for (;;) {
        const auto slash = rest.find('/');
        AppendEscaped(out, rest.substr(0, slash));
        if (slash == std::string_view::npos) break;
        out += '/';
        rest.remove_prefix(slash + 1);
    }
    return out;
}

}  // namespace

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

std::optional<std::string> FtpUrlPath(std::string_view remoteFile) {
    return UrlPath(remoteFile, "%2F", "");
}

std::optional<std::string> SftpUrlPath(std::string_view remoteFile) {
    return UrlPath(remoteFile, "", "~/");
}

}  // namespace orvane::ftp
