// The program's paths on POSIX: /proc/self/exe, "/" separators, the per-user folders and
// their preparation.
#include "settings/ProgramPaths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "runtime/RuntimeError.h"
#include "runtime/SafeFile.h"
#include "settings/PlatformPaths.h"

namespace orvane::mCrypt {

const char DirectorySeparator = '/';

namespace platform {

bool IsDirectorySeparator(char c) { return c == '/'; }

// The link /proc/self/exe names the program's file; " (deleted)" follows a file removed
// while running.
std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        throw RuntimeError(ErrorNumber::PathNotFound, "/proc/self/exe");
    std::string path(buffer, static_cast<std::size_t>(length));
    constexpr std::string_view deleted = " (deleted)";
    if (path.ends_with(deleted)) path.resize(path.size() - deleted.size());
    return path;
}

}  // namespace platform

namespace {

// HOME, or the user's entry in the password database when HOME is unset (as for a service
// started without one).
const char* SystemVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value != nullptr || std::string_view(name) != "HOME") return value;
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? entry->pw_dir : nullptr;
}

// Creates `folder` owner-only unless it exists; missing parents too, each owner-only.
void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            throw FileFailure(errno, "impossibile creare la cartella", prefix);
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw FileFailure(errno, "impossibile creare la cartella", folder);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The status of the folder at `path`, opened without following a link: the files go where it
// says. What is not a plain folder is refused.
struct stat FolderStatus(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool link = error == ELOOP || error == ENOTDIR;
        throw FileFailure(
            error,
            link ? "rifiutato: non è una cartella semplice" : "impossibile aprire la cartella",
            path);
    }
    struct stat info {};
    const int statResult = fstat(fd, &info);
    const int error = errno;
    close(fd);
    if (statResult != 0) throw FileFailure(error, "impossibile aprire la cartella", path);
    return info;
}

// Another user, or anyone who may write to it, could change what the program reads or writes.
// The two refusals are worded for what was refused.
struct Refusals {
    const char* ofAnotherUser;
    const char* writableByOthers;
};
constexpr Refusals kFolderRefusals{"rifiutata la cartella di un altro utente",
                                   "rifiutata una cartella in cui altri possono scrivere"};
constexpr Refusals kSettingsFileRefusals{
    "rifiutato il file di impostazioni di un altro utente",
    "rifiutato un file di impostazioni che altri possono scrivere"};

// Root may own what is checked only where `rootMayOwn`: root may change anything anyway.
void RequireOwn(const struct stat& info, const Refusals& refusals, const std::string& path,
                bool rootMayOwn = false) {
    const bool owner = info.st_uid == geteuid() || (rootMayOwn && info.st_uid == 0);
    if (!owner) throw FileFailure(EPERM, refusals.ofAnotherUser, path);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw FileFailure(EPERM, refusals.writableByOthers, path);
}

}  // namespace

FileLocations SystemFileLocations(const std::filesystem::path& appDir, std::string_view exeName) {
    struct stat info {};
    const bool beside = stat(SettingsPathFor(appDir, exeName).c_str(), &info) == 0;
    return ChooseFileLocations(appDir, exeName, beside, SystemVariable);
}

void PrepareFolder(const std::filesystem::path& folder) {
    const std::string path = WithoutTrailingSlashes(folder.string());
    MakeFolders(path);
    const struct stat info = FolderStatus(path);
    RequireOwn(info, kFolderRefusals, path);
    if ((info.st_mode & S_IWUSR) == 0)
        throw FileFailure(EACCES, "impossibile scrivere nella cartella", path);
}

void RequireOwnSettings(const std::filesystem::path& settingsFile) {
    const std::string folder = WithoutTrailingSlashes(DirectoryOf(settingsFile.string()));
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return;
    // A system service's settings are root's, readable by the service's group.
    RequireOwn(FolderStatus(folder), kFolderRefusals, folder, true);
    // A link there is the user's own (to a file kept elsewhere): what it names is checked.
    if (stat(settingsFile.c_str(), &info) == 0)
        RequireOwn(info, kSettingsFileRefusals, settingsFile.string(), true);
}

}  // namespace orvane::mCrypt
