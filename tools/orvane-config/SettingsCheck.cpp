// The per-key checks of a settings file.
#include "orvane-config/SettingsCheck.h"

#include <fstream>
#include <iterator>

#include "ftp/Protocol.h"
#include "ftp/ServerAddress.h"
#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

namespace {

using settings::KeyKind;

std::string ProtocolProblem(const std::string& value) {
    const auto protocol = ftp::ParseProtocol(value);
    if (!protocol) return "not ftp, ftps or sftp";
    if (!ftp::PlatformSupports(*protocol))
        return std::string(ftp::ProtocolName(*protocol)) +
               " is not available in this build, which speaks plain FTP only";
    return {};
}

std::string PemFileProblem(const std::string& path) {
    if (path.empty()) return {};
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot read the file it names";
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        return "the file it names holds no PEM certificate";
    return {};
}

bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

}  // namespace

std::string ValueProblem(KeyKind kind, const std::string& value, const std::string& key) {
    try {
        switch (kind) {
            case KeyKind::Seconds:
                if (ToInt32(value) >= settings::FewestSeconds) return {};
                return "less than 1 second: the countdown would never come to zero and start a "
                       "cycle";
            case KeyKind::Number: ToDouble(value); return {};
            case KeyKind::Text: return {};
            case KeyKind::Protocol: return ProtocolProblem(value);
            case KeyKind::PemFile: return PemFileProblem(value);
            case KeyKind::Fingerprint:
                if (value.empty() || ftp::IsHostKeyFingerprint(value)) return {};
                return "not a fingerprint as ssh-keygen -l prints it (SHA256:...)";
            case KeyKind::Encoded: break;
        }
    } catch (const RuntimeError& error) {
        return "does not convert to a number: " + error.description();
    }
    const auto plain = settings::DecodeSettingWithCore(value, key);
    if (!plain) return "not an encoded value";
    if (!settings::IsStorableText(*plain)) return "does not decode to text with this key";
    return {};
}

std::vector<std::string> SettingsWarnings(std::string_view content, const std::string& key) {
    const auto protocol = settings::FindProfileValue(content, "FTP", "PROTOCOL");
    const auto server = settings::FindProfileValue(content, "FTP", "SERVER");
    if (ftp::ParseProtocol(protocol.value_or("")) != ftp::Protocol::Ftp || !server) return {};
    const auto plain = settings::DecodeSettingWithCore(*server, key);
    if (!plain || IsLoopback(ftp::SplitServer(*plain).host)) return {};
    return {
        "PROTOCOL is ftp and SERVER is not this machine: the user name and password travel "
        "in clear; choose ftps or sftp if the server offers them"};
}

std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key) {
    std::vector<KeyVerdict> verdicts;
    for (const settings::SettingKey& setting : settings::SettingKeys) {
        KeyVerdict verdict;
        verdict.name = std::string(setting.section) + "/" + std::string(setting.key);
        const auto value = settings::FindProfileValue(content, setting.section, setting.key);
        if (!value && !setting.optional) {
            verdict.status = KeyVerdict::Status::Missing;
        } else if (std::string reason = ValueProblem(setting.kind, value.value_or(""), key);
                   !reason.empty()) {
            verdict.status = KeyVerdict::Status::Invalid;
            verdict.reason = std::move(reason);
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
