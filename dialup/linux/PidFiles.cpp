// pppd's pid files: reading them safely and finding which live pppd owns a link and its name.
#include "dialup/linux/PidFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <vector>

namespace orvane::dialup::linuxlink {

namespace {

constexpr std::string_view kLinkNamePrefix = "ppp-";
constexpr std::string_view kPidSuffix = ".pid";
// pppd writes a number and an interface name; anything longer is not its file.
constexpr size_t kMaxPidFileBytes = 4096;
// A file name holds at most 255 bytes, "ppp-" and ".pid" included.
constexpr size_t kMaxLinkNameBytes = 255 - 8;

std::string_view LineAt(std::string_view text, size_t number) {
    for (size_t skipped = 0; skipped < number; ++skipped) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) return {};
        text.remove_prefix(end + 1);
    }
    return text.substr(0, text.find('\n'));
}

std::optional<pid_t> ParsePid(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (line.empty() || error != std::errc() || end != line.data() + line.size()) return {};
    if (value <= 1 || value > INT_MAX) return {};
    return static_cast<pid_t>(value);
}

std::optional<std::string> ReadSmallRegularFile(const std::filesystem::path& file) {
    // O_NONBLOCK keeps a FIFO planted under the pid file's name from stalling the open.
    const int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    std::optional<std::string> text;
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::string buffer(kMaxPidFileBytes, '\0');
        ssize_t got;
        do got = read(fd, buffer.data(), buffer.size());
        while (got < 0 && errno == EINTR);
        if (got >= 0) text = buffer.substr(0, static_cast<size_t>(got));
    }
    close(fd);
    return text;
}

std::optional<PidFileContent> ReadLivePidFile(const std::filesystem::path& file) {
    auto content = ReadPidFile(file);
    if (!content || !ProcessExists(content->pid)) return {};
    return content;
}

// The link names of every "ppp-NAME.pid" file in the run directory, sorted.
std::vector<std::string> LinkNameFiles(const std::filesystem::path& runDirectory) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(runDirectory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string file = it->path().filename().string();
        if (file.size() <= kLinkNamePrefix.size() + kPidSuffix.size()) continue;
        if (!file.starts_with(kLinkNamePrefix) || !file.ends_with(kPidSuffix)) continue;
        names.push_back(file.substr(kLinkNamePrefix.size(),
                                    file.size() - kLinkNamePrefix.size() - kPidSuffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::filesystem::path LinkNameFile(const std::filesystem::path& runDirectory,
                                   const std::string& linkName) {
    return runDirectory / (std::string(kLinkNamePrefix) + linkName + std::string(kPidSuffix));
}

// The first live "ppp-NAME.pid" whose second line names the interface.
std::optional<std::pair<std::string, pid_t>> FindLinkNameFile(
    const std::filesystem::path& runDirectory, const std::string& interfaceName) {
    if (!IsPlainFileName(interfaceName)) return {};
    for (const std::string& linkName : LinkNameFiles(runDirectory)) {
        const auto content = ReadLivePidFile(LinkNameFile(runDirectory, linkName));
        if (content && content->interfaceName == interfaceName) {
            return std::make_pair(linkName, content->pid);
        }
    }
    return {};
}

}  // namespace

std::optional<PidFileContent> ParsePidFile(std::string_view text) {
    const auto pid = ParsePid(LineAt(text, 0));
    if (!pid) return {};
    return PidFileContent{*pid, std::string(LineAt(text, 1))};
}

std::optional<PidFileContent> ReadPidFile(const std::filesystem::path& file) {
    const auto text = ReadSmallRegularFile(file);
    if (!text) return {};
    return ParsePidFile(*text);
}

bool ProcessExists(pid_t pid) {
    if (pid <= 1) return false;
    return kill(pid, 0) == 0 || errno == EPERM;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos &&
           name.size() <= kMaxLinkNameBytes;
}

std::optional<pid_t> FindLinkOwner(const std::filesystem::path& runDirectory,
                                   const std::string& interfaceName) {
    if (!IsPlainFileName(interfaceName)) return {};
    if (const auto content = ReadLivePidFile(runDirectory / (interfaceName + ".pid"))) {
        return content->pid;
    }
    if (const auto found = FindLinkNameFile(runDirectory, interfaceName)) return found->second;
    return {};
}

std::optional<std::string> FindLinkName(const std::filesystem::path& runDirectory,
                                        const std::string& interfaceName) {
    if (const auto found = FindLinkNameFile(runDirectory, interfaceName)) return found->first;
    return {};
}

}  // namespace orvane::dialup::linuxlink
