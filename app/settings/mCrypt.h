// The support module: settings path and reading, setting decoding, library deployment, start-up,
// shut-down.
#pragma once

#include <string>
#include <string_view>

#include <raradozo/raradozo.h>

#include "settings/ProgramPaths.h"

namespace orvane::mCrypt {

// The deployed library's file name ("raradozo.so" on Linux, "raradozo.dll" on Windows) and the
// instance lock's, in the run-time folder.
extern const std::string_view LibraryFileName;
inline constexpr std::string_view LockFileName = ".orvane.lock";

// The settings file's path, set by ModuleStartup before any setting is read.
extern std::string SettingsPath;
// The folder of the log and the published file, set by ModuleStartup.
extern std::string StateDir;
// The key of the settings' second cipher stage, set by ModuleStartup from BuildCipherKey.
extern std::string CipherKey;

// The value of `key` in `section` of `file`; empty when the file or the key is missing.
std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file);

// The plain text of a stored (encoded) setting, through the loaded library with CipherKey.
// An empty stored value is a RuntimeError(SubscriptOutOfRange), one the encoder cannot have
// written a RuntimeError(TypeMismatch); the settings loader checks what it decodes to.
std::string DecodeSetting(const std::string& stored);

// Start-up where the files of the running program, named `programName`, live
// (SystemFileLocations).
void ModuleStartup(const std::string& programName);
// Start-up with every file in `appDir`, for a program named `exeName`.
void ModuleStartup(const std::filesystem::path& appDir, const std::string& exeName);
// Start-up at `locations`: sets SettingsPath and StateDir, makes sure per-user settings are the
// user's own (RequireOwnSettings) and prepares the per-user folders, takes the run-time folder's
// instance lock (a second copy is a RuntimeError(FileAlreadyOpen)), writes the support library
// there and loads that file, and sets CipherKey. A failure undoes what was done before it
// rethrows, leaving no library file behind.
void ModuleStartup(const FileLocations& locations);
// Unloads the library, deletes its file (errors ignored) and gives up the instance lock.
// Safe to call twice, or after a failed start-up.
void ModuleShutdown();

// Centres the window on the screen through the library.
void CenterForm(RzWindowHandle window);

// Whether the support library is loaded, and the path of its deployed file (empty before
// start-up and after shut-down).
bool LibraryLoaded();
std::string LibraryPath();

}  // namespace orvane::mCrypt
