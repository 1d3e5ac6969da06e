// The support module: application directory, settings, decoding, and the library's deployment.
#include "mCrypt.h"

#include "SettingCodec.h"

#include "runtime/RuntimeError.h"
#include "runtime/SystemText.h"
#include "settings/EmbeddedLibrary.h"
#include "settings/PlatformPaths.h"
#include "settings/SupportLibrary.h"
#include "settings/mCustom.h"

namespace orvane::mCrypt {

std::string SettingsPath;
std::string CipherKey;

namespace {

std::string WithOneTrailingSeparator(std::string directory) {
    while (!directory.empty() && platform::IsDirectorySeparator(directory.back()))
        directory.pop_back();
    return directory + DirectorySeparator;
}

// Where the last directory separator stands, npos without one.
std::size_t LastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (platform::IsDirectorySeparator(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

}  // namespace

std::string AppDirFromExecutablePath(std::string_view executablePath) {
    const auto slash = LastSeparator(executablePath);
    if (slash == std::string_view::npos) return std::string(".") + DirectorySeparator;
    return WithOneTrailingSeparator(std::string(executablePath.substr(0, slash)));
}

std::string AppDir() { return AppDirFromExecutablePath(platform::ExecutablePath()); }

std::string ExecutableName() {
    const std::string path = platform::ExecutablePath();
    const auto slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SettingsPathFor(const std::string& appDir, std::string_view exeName) {
    const auto slash = LastSeparator(exeName);
    std::string_view name = slash == std::string_view::npos ? exeName : exeName.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return WithOneTrailingSeparator(appDir) + std::string(name) + ".ini";
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
    if (!settings::IsStorableText(bytes))
        throw RuntimeError(ErrorNumber::TypeMismatch,
                           SystemText("il valore decodificato non è testo"));
    return bytes;
}

void ModuleStartup() { ModuleStartup(AppDir(), ExecutableName()); }

void ModuleStartup(const std::string& appDir, const std::string& exeName) {
    const std::string directory = WithOneTrailingSeparator(appDir);
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
