// The dyndns2 protocol's request and the meaning of its answers.
#include "publish/Dyndns2Protocol.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION must be defined by the build"
#endif

namespace orvane::publish {

namespace {

// Answers after which trying again only gets the account blocked: the provider refuses the
// account, the name or the client itself.
constexpr std::array<std::string_view, 6> kStopCodes{"badauth", "nohost",   "notfqdn",
                                                     "numhost", "badagent", "abuse"};
// Answers that ask for a pause: the provider's own trouble.
constexpr std::array<std::string_view, 2> kPauseCodes{"911", "dnserr"};

constexpr std::size_t kLongestReason = 160;

bool OneOf(std::string_view code, const auto& codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The server's words, safe to log: printable ASCII only, and not too long.
std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, kLongestReason)) shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    return shown;
}

std::vector<std::string_view> AnswerLines(std::string_view body) {
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        const std::size_t end = std::min(body.find('\n'), body.size());
        std::string_view line = body.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (!line.empty()) lines.push_back(line);
        body.remove_prefix(std::min(end + 1, body.size()));
    }
    return lines;
}

std::string_view CodeOf(std::string_view line) { return line.substr(0, line.find(' ')); }

}  // namespace

std::string Dyndns2Query(const Dyndns2Settings& settings, const PublishedAddresses& addresses) {
    std::string query = "hostname=";
    for (std::size_t i = 0; i < settings.hostnames.size(); ++i)
        query += (i == 0 ? "" : ",") + settings.hostnames[i];
    query += "&myip=" + addresses.ipv4;
    if (settings.ipv6 && !addresses.ipv6.empty()) query += "&myipv6=" + addresses.ipv6;
    return query;
}

std::string Dyndns2Authorization(const std::string& user, const std::string& password) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string plain = user + ":" + password;
    std::string text = "Basic ";
    for (std::size_t i = 0; i < plain.size(); i += 3) {
        uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(plain[i])) << 16;
        if (i + 1 < plain.size())
            group |= static_cast<uint32_t>(static_cast<unsigned char>(plain[i + 1])) << 8;
        if (i + 2 < plain.size()) group |= static_cast<unsigned char>(plain[i + 2]);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < plain.size() ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < plain.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

std::string Dyndns2UserAgent() { return "Orvane/" ORVANE_VERSION; }

bool IsDyndns2HostName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == '*';
    });
}

// With several names, the worst line decides: a stop over a pause over a failure.
Outcome Dyndns2Verdict(long httpStatus, std::string_view body) {
    const std::vector<std::string_view> lines = AnswerLines(body);
    if (lines.empty())
        return {Verdict::Failed, "HTTP " + std::to_string(httpStatus) + " without an answer", {}};
    for (const std::string_view line : lines)
        if (OneOf(CodeOf(line), kStopCodes)) return {Verdict::Stopped, Printable(line), {}};
    for (const std::string_view line : lines)
        if (OneOf(CodeOf(line), kPauseCodes))
            return {Verdict::RetryLater, Printable(line), kDyndns2Pause};
    for (const std::string_view line : lines) {
        const std::string_view code = CodeOf(line);
        if (code != "good" && code != "nochg")
            return {
                Verdict::Failed, "HTTP " + std::to_string(httpStatus) + ": " + Printable(line), {}};
    }
    return {Verdict::Accepted, Printable(lines.front()), {}};
}

}  // namespace orvane::publish
