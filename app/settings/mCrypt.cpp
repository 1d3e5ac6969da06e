// The support module: application directory, settings, decoding, and the library's deployment.
#include "mCrypt.h"

#include "SettingCodec.h"

#include <climits>
#include <unistd.h>

#include "runtime/RuntimeError.h"
#include "settings/EmbeddedLibrary.h"
#include "settings/ProfileReader.h"
#include "settings/SupportLibrary.h"
#include "settings/mCustom.h"

namespace orvane::mCrypt {

std::string SettingsPath;
std::string CipherKey;

namespace {

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

std::string WithOneTrailingSlash(std::string directory) {
    while (!directory.empty() && directory.back() == '/') directory.pop_back();
    return directory + "/";
}

}  // namespace

std::string AppDirFromExecutablePath(std::string_view executablePath) {
    const auto slash = executablePath.rfind('/');
    if (slash == std::string_view::npos) return "./";
    return WithOneTrailingSlash(std::string(executablePath.substr(0, slash)));
}

std::string AppDir() { return AppDirFromExecutablePath(ExecutablePath()); }

std::string ExecutableName() {
    const std::string path = ExecutablePath();
    return path.substr(path.rfind('/') + 1);
}

std::string SettingsPathFor(const std::string& appDir, std::string_view exeName) {
    std::string_view name = exeName.substr(exeName.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return WithOneTrailingSlash(appDir) + std::string(name) + ".ini";
}

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    const auto content = settings::ReadWholeFile(file);
    if (!content) return {};
    return settings::ReadProfileString(*content, section, key);
}

std::string DecodeSetting(const std::string& stored) {
    // A value the encoder cannot have written (edited by hand, cut short) would decode to
    // garbage that then reaches the server as a name or password; it is refused instead.
    if (!stored.empty() && !settings::IsEncodedSetting(stored))
        throw RuntimeError(ErrorNumber::TypeMismatch, "valore codificato non valido");
    std::string bytes = LibraryDecrypt(stored);
    // Stage 2 addresses the first byte of the stage-1 result: with none, that index is out
    // of range.
    if (bytes.empty()) throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
    LibraryDecryptBuffer(bytes, CipherKey);
    // Encoded with another key, a value decodes to bytes that are no text.
    if (!settings::IsPrintableText(bytes))
        throw RuntimeError(ErrorNumber::TypeMismatch, "il valore decodificato non è testo");
    return bytes;
}

void ModuleStartup() { ModuleStartup(AppDir(), ExecutableName()); }

void ModuleStartup(const std::string& appDir, const std::string& exeName) {
    const std::string directory = WithOneTrailingSlash(appDir);
    Deployment& deployment = TheDeployment();
    if (deployment.lock.Held())
        throw RuntimeError(ErrorNumber::InternalError, "the support module is already started");
    SettingsPath = SettingsPathFor(directory, exeName);
    // The lock comes first: a refused copy must not touch the running copy's library file.
    deployment.lock.Acquire(directory + std::string(LockFileName), directory);
    try {
        deployment.library.Deploy(directory + std::string(LibraryFileName),
                                  EmbeddedLibraryImage());
        CipherKey = mCustom::BuildCipherKey();
    } catch (...) {
        ModuleShutdown();
        throw;
    }
}

void ModuleShutdown() {
    Deployment& deployment = TheDeployment();
    deployment.library.Withdraw();
    deployment.lock.Release();
    CipherKey.clear();
}

void CenterForm(RzWindowHandle window) {
    const auto center = reinterpret_cast<decltype(&c_CenterForm)>(
        TheDeployment().library.Entry(LibraryEntry::CenterForm));
    center(window, window);
}

bool LibraryLoaded() { return TheDeployment().library.Loaded(); }

std::string LibraryPath() { return TheDeployment().library.Path(); }

}  // namespace orvane::mCrypt
