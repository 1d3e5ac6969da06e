// pppd's pid files: reading them safely and finding which live pppd owns a link and its name.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::dialup::linuxlink {

// What a pid file says: pppd's process id (first line) and, in a link-name file
// "ppp-NAME.pid", the interface it runs (second line; empty when the file has none).
struct PidFileContent {
    pid_t pid = 0;
    std::string interfaceName;
};

// The content of a pid file's text, or nothing when the first line is not a process id
// above 1 (init and the "every process" ids are never anyone's link).
std::optional<PidFileContent> ParsePidFile(std::string_view text);

// Reads and parses a pid file: a regular file, not followed through a symbolic link,
// at most a few kilobytes. Nothing when it is missing, unreadable or garbage.
std::optional<PidFileContent> ReadPidFile(const std::filesystem::path& file);

// Whether a process with this id exists (it may belong to another user).
bool ProcessExists(pid_t pid);

// Whether `name` can stand as one file name inside the run directory.
bool IsPlainFileName(std::string_view name);

// The live process that owns interface `interfaceName` according to the pid files in
// `runDirectory`: "<interface>.pid" first, then any "ppp-NAME.pid" naming the interface.
std::optional<pid_t> FindLinkOwner(const std::filesystem::path& runDirectory,
                                   const std::string& interfaceName);

// The link name that a live pppd recorded for `interfaceName` ("ppp-NAME.pid" whose second
// line is the interface), the first by file name when several do.
std::optional<std::string> FindLinkName(const std::filesystem::path& runDirectory,
                                        const std::string& interfaceName);

}  // namespace orvane::dialup::linuxlink
