// The program's folder and settings file from its own path, and the choice of where its files go.
#include "settings/ProgramPaths.h"

#include "runtime/RuntimeError.h"
#include "settings/PlatformPaths.h"

namespace orvane::mCrypt {

namespace {

constexpr const char* kFolderName = "orvane";

namespace fs = std::filesystem;

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

// A base folder from the environment: only an absolute path counts.
const char* AbsoluteVariable(const VariableLookup& variable, const char* name) {
    const char* value = variable(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

// `folder` with exactly one separator at its end.
fs::path AsFolder(const fs::path& folder) {
    return PathOf(WithOneTrailingSeparator(TextOf(folder)));
}

// The program's own folder under a base folder from the environment, or under its default.
fs::path OwnFolder(const VariableLookup& variable, const char* name, const fs::path& otherwise) {
    const char* value = AbsoluteVariable(variable, name);
    return AsFolder(value ? PathOf(value) : otherwise) / kFolderName / "";
}

// A folder the service manager made for the program (systemd's ConfigurationDirectory= and
// the like set these variables; of a colon-separated list the first counts), else the one
// `otherwise` gives. Only an absolute path counts.
fs::path ServiceFolderOr(const VariableLookup& variable, const char* name,
                         const std::function<fs::path()>& otherwise) {
    const char* value = AbsoluteVariable(variable, name);
    if (value == nullptr) return otherwise();
    const std::string_view list = value;
    return AsFolder(PathOf(std::string(list.substr(0, list.find(':')))));
}

}  // namespace

fs::path AppDirFromExecutablePath(std::string_view executablePath) {
    const auto slash = LastSeparator(executablePath);
    if (slash == std::string_view::npos) return PathOf(std::string(".") + DirectorySeparator);
    return PathOf(WithOneTrailingSeparator(std::string(executablePath.substr(0, slash))));
}

fs::path AppDir() { return AppDirFromExecutablePath(platform::ExecutablePath()); }

std::string ExecutableName() {
    const std::string path = platform::ExecutablePath();
    const auto slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

fs::path SettingsPathFor(const fs::path& appDir, std::string_view exeName) {
    const auto slash = LastSeparator(exeName);
    std::string_view name = slash == std::string_view::npos ? exeName : exeName.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return AsFolder(appDir) / PathOf(std::string(name) + ".ini");
}

FileLocations ChooseFileLocations(const fs::path& appDir, std::string_view exeName,
                                  bool settingsBesideProgram, const VariableLookup& variable) {
    if (settingsBesideProgram) {
        const fs::path folder = AsFolder(appDir);
        return {SettingsPathFor(folder, exeName), folder, folder, true};
    }
    const auto homeFolder = [&] {
        const char* home = AbsoluteVariable(variable, "HOME");
        if (home == nullptr)
            throw RuntimeError(ErrorNumber::PathNotFound,
                               "nessun file di impostazioni accanto al programma (" +
                                   TextOf(SettingsPathFor(appDir, exeName)) +
                                   ") e nessuna cartella home (HOME)");
        return AsFolder(PathOf(home));
    };
    const fs::path settings = ServiceFolderOr(variable, "CONFIGURATION_DIRECTORY", [&] {
        return OwnFolder(variable, "XDG_CONFIG_HOME", homeFolder() / ".config");
    });
    const fs::path state = ServiceFolderOr(variable, "STATE_DIRECTORY", [&] {
        return OwnFolder(variable, "XDG_STATE_HOME", homeFolder() / ".local/state");
    });
    const fs::path runtime = ServiceFolderOr(variable, "RUNTIME_DIRECTORY", [&] {
        const bool user = AbsoluteVariable(variable, "XDG_RUNTIME_DIR") != nullptr;
        return user ? OwnFolder(variable, "XDG_RUNTIME_DIR", {}) : state;
    });
    return {SettingsPathFor(settings, exeName), state, runtime, false};
}

}  // namespace orvane::mCrypt
