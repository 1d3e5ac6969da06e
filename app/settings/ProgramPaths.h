// The program's own paths and where its files live: beside the program (a portable folder), or
// in the user's configuration, state and run-time folders when no settings file stands there.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/SystemText.h"

namespace orvane::mCrypt {

// The separator that ends a folder's path ("/" on Linux, "\\" on Windows).
extern const char DirectorySeparator;

// The directory holding the running program, with exactly one trailing separator, so that a
// file's path is the folder's followed by the file's name.
std::filesystem::path AppDir();
// The directory part of an executable's path, with exactly one trailing separator ("/" for a
// program in the root directory, "C:\\" in a drive's root on Windows, "./" or ".\\" for a
// bare name).
std::filesystem::path AppDirFromExecutablePath(std::string_view executablePath);
// The running program's file name, without its directory.
std::string ExecutableName();
// `appDir`, the executable's name without its final extension, and ".ini".
std::filesystem::path SettingsPathFor(const std::filesystem::path& appDir,
                                      std::string_view exeName);

// Where the program's files are. Folders end with one separator.
struct FileLocations {
    std::filesystem::path settingsFile;
    std::filesystem::path stateDir;    // the log and the published file
    std::filesystem::path runtimeDir;  // the support library's file and the instance lock
    bool portable = false;             // all of them in the program's folder, which is not prepared
};

// An environment variable's value, or null when it is unset.
using VariableLookup = std::function<const char*(const char* name)>;

// The portable folder when the settings file stands beside the program; otherwise the
// per-user folders: settings in $XDG_CONFIG_HOME/orvane/ (~/.config/orvane/), the log and
// published file in $XDG_STATE_HOME/orvane/ (~/.local/state/orvane/), the library and the lock
// in $XDG_RUNTIME_DIR/orvane/, or in the state folder without one. Folders that a service
// manager made for the program come first: $CONFIGURATION_DIRECTORY, $STATE_DIRECTORY and
// $RUNTIME_DIRECTORY themselves (the first of a colon-separated list). A variable that is empty
// or not an absolute path counts as unset. Without an absolute HOME where one is needed the
// per-user choice is a RuntimeError.
FileLocations ChooseFileLocations(const std::filesystem::path& appDir, std::string_view exeName,
                                  bool settingsBesideProgram, const VariableLookup& variable);
// The choice for the running program's environment and folder (portable always on Windows).
FileLocations SystemFileLocations(const std::filesystem::path& appDir, std::string_view exeName);

// Makes sure `folder` is a folder of the user's own before files are written in it: creates it
// owner-only (missing parents too) when it is missing. A symbolic link at its name, a folder
// of another user, one that others may write to or that its owner may not write to is a
// RuntimeError naming it.
void PrepareFolder(const std::filesystem::path& folder);

// Makes sure the per-user settings are the user's own before they are read, since whoever may
// change them chooses where the uploads go: the settings file's folder, where it exists, must
// be a plain folder of the user's (or root's, as a system service's is) that others may not
// write to, and the file, where it exists, the user's or root's and not writable by others.
// Anything else is a RuntimeError naming the folder or the file. Nothing is created; a missing
// file is the reader's to report.
void RequireOwnSettings(const std::filesystem::path& settingsFile);

}  // namespace orvane::mCrypt
