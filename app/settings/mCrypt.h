// The support module: settings path and reading, setting decoding, library deployment, start-up, shut-down.
#pragma once

#include <string>
#include <string_view>

#include <raradozo/raradozo.h>

namespace orvane::mCrypt {

// The deployed library's file name ("raradozo.so" on Linux, "raradozo.dll" on Windows) and the
// instance lock's, in the application directory.
extern const std::string_view LibraryFileName;
inline constexpr std::string_view LockFileName = ".orvane.lock";
// The separator that ends AppDir ("/" on Linux, "\\" on Windows).
extern const char DirectorySeparator;

// The settings file's path, set by ModuleStartup before any setting is read.
extern std::string SettingsPath;
// The key of the settings' second cipher stage, set by ModuleStartup from BuildCipherKey.
extern std::string CipherKey;

// The directory holding the running program, with exactly one trailing separator.
std::string AppDir();
// The directory part of an executable's path, with exactly one trailing separator ("/" for a
// program in the root directory, "C:\\" in a drive's root on Windows, "./" or ".\\" for a
// bare name).
std::string AppDirFromExecutablePath(std::string_view executablePath);
// The running program's file name, without its directory.
std::string ExecutableName();
// `appDir`, the executable's name without its final extension, and ".ini".
std::string SettingsPathFor(const std::string& appDir, std::string_view exeName);

// The value of `key` in `section` of `file`; empty when the file or the key is missing.
std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file);

// The plain text of a stored (encoded) setting, through the loaded library with CipherKey.
// An empty stored value is a RuntimeError(SubscriptOutOfRange); the caller names the key.
std::string DecodeSetting(const std::string& stored);

// Start-up in the program's own directory, under its own name.
void ModuleStartup();
// Start-up in `appDir` for a program named `exeName`: sets SettingsPath, takes the directory's
// instance lock (a second copy is a RuntimeError(FileAlreadyOpen)), writes the support library
// to appDir + LibraryFileName and loads that file, and sets CipherKey. A failure undoes what
// was done before it rethrows, leaving no library file behind.
void ModuleStartup(const std::string& appDir, const std::string& exeName);
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
