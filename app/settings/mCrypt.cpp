// The support module: settings, decoding, and the library's deployment where the files live.
#include "mCrypt.h"

#include "SettingCodec.h"
#include "deploy/EmbeddedLibrary.h"
#include "deploy/SupportLibrary.h"
#include "runtime/RuntimeError.h"
#include "settings/mCustom.h"

namespace orvane::mCrypt {

std::string SettingsPath;
std::string CipherKey;
std::string StateDir;

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
    return bytes;
}

void ModuleStartup(const std::string& programName) {
    ModuleStartup(SystemFileLocations(AppDir(), programName));
}

void ModuleStartup(const std::filesystem::path& appDir, const std::string& exeName) {
    ModuleStartup(ChooseFileLocations(appDir, exeName, true, nullptr));
}

void ModuleStartup(const FileLocations& locations) {
    Deployment& deployment = TheDeployment();
    if (deployment.lock.Held())
        throw RuntimeError(ErrorNumber::InternalError,
                           "modulo di supporto avviato una seconda volta");
    SettingsPath = TextOf(locations.settingsFile);
    StateDir = TextOf(locations.stateDir);
    if (!locations.portable) {
        RequireOwnSettings(locations.settingsFile);
        PrepareFolder(locations.stateDir);
        PrepareFolder(locations.runtimeDir);
    }
    const std::filesystem::path& directory = locations.runtimeDir;
    // The lock comes first: a refused copy must not touch the running copy's library file.
    deployment.lock.Acquire(TextOf(directory / LockFileName), TextOf(directory));
    try {
        deployment.library.Deploy(TextOf(directory / LibraryFileName), EmbeddedLibraryImage());
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
