// The per-key checks of a settings file, through the program's loader, in the tool's words.
#include "orvane-config/SettingsCheck.h"

#include <algorithm>

#include "ftp/Protocol.h"
#include "ftp/ServerAddress.h"
#include "runtime/RuntimeError.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

namespace {

bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

}  // namespace

settings::SettingsSource SourceOf(std::string_view content, const std::string& key) {
    settings::SettingsSource source;
    source.read = [content](const settings::SettingKey& setting) {
        return settings::ReadProfileString(content, setting.section, setting.key);
    };
    source.decode = [&key](const std::string& stored) {
        const auto plain = settings::DecodeSettingWithCore(stored, key);
        // As the program's decoding fails: nothing to decode, or no text the encoder writes.
        if (!plain)
            throw RuntimeError(stored.empty() ? ErrorNumber::SubscriptOutOfRange
                                              : ErrorNumber::TypeMismatch);
        return *plain;
    };
    source.checkNamedFiles = true;
    source.sections = [content] { return settings::ProfileSectionNames(content); };
    return source;
}

std::string FaultReason(const settings::ValueFault& fault) {
    using settings::Fault;
    switch (fault.fault) {
        case Fault::NotANumber:
            return "does not convert to a number: " + ErrorDescription(fault.number);
        case Fault::TooFewSeconds:
            return "less than 1 second: the countdown would never come to zero and start a cycle";
        case Fault::NotEncoded: return "not an encoded value";
        case Fault::NotText: return "does not decode to text with this key";
        case Fault::UnknownProtocol: return "not ftp, ftps or sftp";
        case Fault::ProtocolUnavailable:
            if (fault.protocol == "dnsupdate") return "dnsupdate is not available in this build";
            return fault.protocol + " is not available in this build, which speaks plain FTP only";
        case Fault::UnreadableFile: return "cannot read the file it names";
        case Fault::NoCertificate: return "the file it names holds no PEM certificate";
        case Fault::NotAFingerprint:
            return "not a fingerprint as ssh-keygen -l prints it (SHA256:...)";
        case Fault::NotHttpsUrl: return "not an https:// address";
        case Fault::Missing: return "missing";
        case Fault::BadTargetName: return "the name may hold only letters, digits, '-', '_', '.'";
        case Fault::UnknownTargetType: return "not dyndns2, dnsupdate or command";
        case Fault::NotAHostName: return "not a host name (several only for dyndns2, by commas)";
        case Fault::NotAWebProtocol: return "not https or http";
        case Fault::NotAFlag: return "not 0 or 1";
        case Fault::NotAnAlgorithm: return "not a TSIG algorithm (hmac-sha256, hmac-sha512, ...)";
        case Fault::NotBase64: return "does not decode to base64";
        case Fault::NotAnAbsolutePath: return "not an absolute path";
    }
    return {};
}

std::vector<KeyVerdict> CheckTargets(std::string_view content, const std::string& key) {
    const settings::SettingsSource source = SourceOf(content, key);
    const settings::LoadedTargets loaded = settings::LoadTargetSettings(source);
    std::vector<KeyVerdict> verdicts;
    for (const publish::TargetSettings& target : loaded.targets)
        verdicts.push_back({"TARGET:" + target.name, KeyVerdict::Status::Ok, {}});
    for (const settings::TargetProblem& problem : loaded.problems) {
        KeyVerdict verdict{problem.section + (problem.key.empty() ? "" : "/" + problem.key),
                           KeyVerdict::Status::Invalid, FaultReason(problem.fault)};
        if (problem.fault.fault == settings::Fault::Missing ||
            (problem.fault.fault == settings::Fault::NotEncoded &&
             !settings::FindProfileValue(content, problem.section, problem.key)))
            verdict.status = KeyVerdict::Status::Missing;
        verdicts.push_back(std::move(verdict));
    }
    return verdicts;
}

std::vector<std::string> SettingsWarnings(std::string_view content, const std::string& key) {
    const auto protocol = settings::FindProfileValue(content, "FTP", "PROTOCOL");
    const auto server = settings::FindProfileValue(content, "FTP", "SERVER");
    std::vector<std::string> warnings;
    const auto plain = settings::DecodeSettingWithCore(server.value_or(""), key);
    if (ftp::ParseProtocol(protocol.value_or("")) == ftp::Protocol::Ftp && server && plain &&
        !IsLoopback(ftp::SplitServer(*plain).host))
        warnings.push_back(
            "PROTOCOL is ftp and SERVER is not this machine: the user name and password travel "
            "in clear; choose ftps or sftp if the server offers them");
    for (const publish::TargetSettings& target :
         settings::LoadTargetSettings(SourceOf(content, key)).targets) {
        if (target.type != publish::TargetType::Dyndns2 || target.dyndns2.https ||
            IsLoopback(ftp::SplitServer(target.dyndns2.server).host))
            continue;
        warnings.push_back("TARGET:" + target.name +
                           ": PROTOCOL is http and SERVER is not this machine: the user name and "
                           "password travel in clear; use https unless the network is trusted");
    }
    return warnings;
}

std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key) {
    const settings::SettingsSource source = SourceOf(content, key);
    const std::vector<settings::SettingProblem> problems = settings::CheckAllSettings(source);
    // With targets, an empty [FTP] SERVER means no file: its keys are not needed.
    const bool withoutFile =
        settings::HasTargets(source) &&
        settings::FindProfileValue(content, "FTP", "SERVER").value_or("").empty();
    std::vector<KeyVerdict> verdicts;
    for (const settings::SettingKey& setting : settings::SettingKeys) {
        if (withoutFile && setting.section == "FTP") continue;
        KeyVerdict verdict;
        verdict.name = std::string(setting.section) + "/" + std::string(setting.key);
        const auto problem = std::find_if(problems.begin(), problems.end(), [&](const auto& found) {
            return found.id == setting.id;
        });
        if (!setting.optional &&
            !settings::FindProfileValue(content, setting.section, setting.key)) {
            verdict.status = KeyVerdict::Status::Missing;
        } else if (problem != problems.end()) {
            verdict.status = KeyVerdict::Status::Invalid;
            verdict.reason = FaultReason(problem->fault);
        }
        verdicts.push_back(std::move(verdict));
    }
    return verdicts;
}

std::string VerdictLine(const KeyVerdict& verdict) {
    switch (verdict.status) {
        case KeyVerdict::Status::Ok: return verdict.name + ": OK";
        case KeyVerdict::Status::Missing: return verdict.name + ": missing";
        case KeyVerdict::Status::Invalid:
            return verdict.name + ": invalid (" + verdict.reason + ")";
    }
    return verdict.name;
}

}  // namespace orvane::config
