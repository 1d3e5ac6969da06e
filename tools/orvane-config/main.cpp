// orvane-config: writes, changes and checks Orvane settings files.
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <iostream>
#include <optional>

#include "orvane-config/CommandLine.h"
#include "orvane-config/Password.h"
#include "orvane-config/ServiceSettings.h"
#include "orvane-config/SettingsCheck.h"
#include "orvane-config/SettingsWriter.h"
#include "runtime/RuntimeError.h"
#include "runtime/SafeFile.h"
#include "runtime/StandardStreams.h"
#include "settings/KeyMaterial.h"
#include "settings/ProfileReader.h"
#include "settings/ProgramPaths.h"

namespace {

using namespace orvane;
using namespace orvane::config;

constexpr int Done = 0, Failed = 1, WrongUsage = 2;

int Fail(const std::string& message) {
    std::cerr << "orvane-config: " << message << "\n";
    return Failed;
}

// The file orvane itself reads, when none is named: beside orvane (and so beside this tool), the
// system service's for root where that service is installed, or in the user's configuration
// folder, which a write creates. The user's own settings are checked as orvane checks them; a
// file named by hand is not, so that root may look after a user's.
std::string SettingsFile(const std::string& named, bool forWriting) {
    if (!named.empty()) return named;
    const std::string service = ServiceSettingsFile();
    const mCrypt::FileLocations locations =
        !service.empty() ? mCrypt::FileLocations{PathOf(service), {}, {}, false}
                         : mCrypt::SystemFileLocations(mCrypt::AppDir(), "orvane");
    if (locations.portable) return TextOf(locations.settingsFile);
    if (forWriting)
        mCrypt::PrepareFolder(locations.settingsFile.parent_path());
    else
        mCrypt::RequireOwnSettings(locations.settingsFile);
    return TextOf(locations.settingsFile);
}

// Write, or set when `onlyGiven`: a set edits a file that must exist, and reads the password
// only when asked to.
int Write(WriteRequest request, bool onlyGiven, bool withPassword) {
    request.file = SettingsFile(request.file, !onlyGiven);
    std::string problem;
    std::optional<std::string> password;
    if (withPassword) {
        password = ReadPassword(problem);
        if (!password) {
            std::cerr << "orvane-config: " << problem << "\n";
            return WrongUsage;
        }
        RequireStorable("the password", *password, true);
    }

    // An existing file is edited, so one that cannot be read is left alone. The lock keeps a
    // change made at the same time from being lost between this read and the rename.
    const FileChangeLock lock(request.file);
    std::string existing;
    struct stat info {};
    if (stat(request.file.c_str(), &info) == 0 || onlyGiven) {
        auto content = settings::ReadWholeFile(request.file);
        if (!content) return Fail("cannot read the existing file " + request.file);
        existing = std::move(*content);
    } else if (errno != ENOENT) {
        return Fail(FileFailure(errno, "cannot reach", request.file).detail());
    }
    const std::string text =
        BuildSettingsFile(existing, request, password, mCustom::CoreCipherKey(), onlyGiven);
    ReplaceFileAtomically(request.file, text, SettingsFileMode(request.file), Durability::Flushed,
                          Ownership::KeepExisting);
    ShareWithService(request.file);
    std::cout << "orvane-config: wrote " << request.file << "\n";
    return Done;
}

int Check(const std::string& named) {
    const std::string file = SettingsFile(named, false);
    const auto content = settings::ReadWholeFile(file);
    if (!content) return Fail("cannot read " + file);
    int problems = 0;
    for (const std::string& warning : SettingsWarnings(*content, mCustom::CoreCipherKey()))
        std::cerr << "orvane-config: warning: " << warning << "\n";
    std::vector<KeyVerdict> verdicts = CheckSettings(*content, mCustom::CoreCipherKey());
    for (KeyVerdict& verdict : CheckTargets(*content, mCustom::CoreCipherKey()))
        verdicts.push_back(std::move(verdict));
    for (const KeyVerdict& verdict : verdicts) {
        std::cout << VerdictLine(verdict) << "\n";
        if (verdict.status != KeyVerdict::Status::Ok) ++problems;
    }
    if (problems == 0) {
        std::cout << file << ": all settings valid\n";
        return Done;
    }
    std::cout << file << ": " << problems << (problems == 1 ? " key" : " keys")
              << " missing or invalid\n";
    return Failed;
}

// Adds or removes a target in a file edited under its lock, as a write does; the password or
// secret is read as write reads the password.
int ChangeTargets(const Command& command) {
    const bool adding = command.kind == Command::Kind::TargetAdd;
    const std::string file = SettingsFile(command.target.file, adding);
    std::optional<std::string> secret;
    if (adding && TargetNeedsSecret(command.target)) {
        std::string problem;
        secret = ReadPassword(problem);
        if (!secret) {
            std::cerr << "orvane-config: " << problem << "\n";
            return WrongUsage;
        }
        RequireStorable("the password or secret", *secret, true);
    }
    const FileChangeLock lock(file);
    std::string existing;
    struct stat info {};
    if (stat(file.c_str(), &info) == 0 || !adding) {
        auto content = settings::ReadWholeFile(file);
        if (!content) return Fail("cannot read the existing file " + file);
        existing = std::move(*content);
    } else if (errno != ENOENT) {
        return Fail(FileFailure(errno, "cannot reach", file).detail());
    }
    const std::string text =
        adding ? AddTarget(existing, command.target, secret, mCustom::CoreCipherKey())
               : RemoveTarget(existing, command.target.name);
    ReplaceFileAtomically(file, text, 0600, Durability::Flushed, Ownership::KeepExisting);
    std::cout << "orvane-config: wrote " << file << "\n";
    return Done;
}

int ListTargetsOf(const std::string& named) {
    const std::string file = SettingsFile(named, false);
    const auto content = settings::ReadWholeFile(file);
    if (!content) return Fail("cannot read " + file);
    const std::vector<std::string> lines = ListTargets(*content, mCustom::CoreCipherKey());
    for (const std::string& line : lines) std::cout << line << "\n";
    if (lines.empty()) std::cout << file << ": no targets\n";
    return Done;
}

int Run(const std::vector<std::string>& args) {
    try {
        const Command command = ParseCommandLine(args);
        switch (command.kind) {
            case Command::Kind::Help: std::cout << UsageText(); return Done;
            case Command::Kind::Write:
                return Write(command.write, false, !command.write.WithoutFile());
            case Command::Kind::Set: return Write(command.write, true, command.withPassword);
            case Command::Kind::Check: return Check(command.file);
            case Command::Kind::TargetAdd:
            case Command::Kind::TargetRemove: return ChangeTargets(command);
            case Command::Kind::TargetList: return ListTargetsOf(command.target.file);
        }
    } catch (const UsageError& error) {
        std::cerr << "orvane-config: " << error.what() << "\n\n" << UsageText();
        return WrongUsage;
    } catch (const RuntimeError& error) {
        return Fail(error.detail().empty() ? error.description() : error.detail());
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
    return Failed;
}

}  // namespace

int main(int argc, char** argv) {
    // A closed standard output must not become the settings file that "wrote ..." goes into.
    orvane::KeepStandardStreamsOpen();
    // Numbers are checked under the same regional settings as the program reads them.
    std::setlocale(LC_ALL, "");
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
