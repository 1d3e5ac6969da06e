// Reading a settings file by its schema: one check per kind of key, the problems of all keys.
#include "settings/SettingsLoader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <variant>

#include "runtime/Conversion.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"

namespace orvane::settings {

namespace {

constexpr std::string_view kGeneral = "GENERAL";
constexpr std::string_view kFtp = "FTP";

using Value = std::variant<std::monostate, int32_t, double, std::string, ftp::Protocol>;

// A stored text converted for its kind, or what is wrong with it.
struct Checked {
    Checked(Value converted) : value(std::move(converted)) {}
    Checked(ValueFault wrong) : fault(std::move(wrong)) {}

    Value value;
    std::optional<ValueFault> fault;
};

Checked Fail(Fault fault, ErrorNumber number, std::string protocol = {}) {
    return ValueFault{fault, number, std::move(protocol)};
}

// A count of seconds below the fewest never comes down to the zero that starts a cycle: the
// program would go quiet (FIRST) or publish once (INTERVAL) instead of saying why.
Checked Seconds(const std::string& stored) {
    try {
        const int32_t seconds = ToInt32(stored);
        if (seconds < FewestSeconds)
            return Fail(Fault::TooFewSeconds, ErrorNumber::InvalidProcedureCall);
        return {seconds};
    } catch (const RuntimeError& error) {
        return Fail(Fault::NotANumber, error.number());
    }
}

Checked Number(const std::string& stored) {
    try {
        const double number = ToDouble(stored);
        if (!std::isfinite(number)) return Fail(Fault::NotANumber, ErrorNumber::Overflow);
        return {number};
    } catch (const RuntimeError& error) {
        return Fail(Fault::NotANumber, error.number());
    }
}

Checked Decoded(const std::string& stored, const SettingsSource& source) {
    std::string plain;
    try {
        plain = source.decode(stored);
    } catch (const RuntimeError& error) {
        // Why, for the message: a text the encoder cannot have written, or one that it can.
        return Fail(IsEncodedSetting(stored) ? Fault::NotText : Fault::NotEncoded, error.number());
    }
    // Encoded with another key, a value decodes to bytes that are no text, and would reach the
    // server as a name or a password.
    if (!IsStorableText(plain)) return Fail(Fault::NotText, ErrorNumber::TypeMismatch);
    return {std::move(plain)};
}

Checked ProtocolOf(const std::string& stored) {
    const auto protocol = ftp::ParseProtocol(stored);
    if (!protocol) return Fail(Fault::UnknownProtocol, ErrorNumber::TypeMismatch);
    if (!ftp::PlatformSupports(*protocol))
        return Fail(Fault::ProtocolUnavailable, ErrorNumber::TypeMismatch,
                    std::string(ftp::ProtocolName(*protocol)));
    return {*protocol};
}

Checked PemFile(const std::string& stored, bool checkNamedFile) {
    if (stored.empty() || !checkNamedFile) return {stored};
    const auto text = ReadWholeFile(stored);
    if (!text) return Fail(Fault::UnreadableFile, ErrorNumber::FileNotFound);
    if (text->find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        return Fail(Fault::NoCertificate, ErrorNumber::TypeMismatch);
    return {stored};
}

Checked Fingerprint(const std::string& stored) {
    if (!stored.empty() && !ftp::IsHostKeyFingerprint(stored))
        return Fail(Fault::NotAFingerprint, ErrorNumber::TypeMismatch);
    return {stored};
}

// Empty, or https:// and a host, with no byte that could end or split the address.
Checked HttpsUrl(const std::string& stored) {
    constexpr std::string_view kScheme = "https://";
    constexpr std::size_t kLongest = 2048;
    if (stored.empty()) return {stored};
    const bool clean = std::none_of(stored.begin(), stored.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
    });
    if (!clean || stored.size() <= kScheme.size() || stored.size() > kLongest ||
        stored.compare(0, kScheme.size(), kScheme) != 0)
        return Fail(Fault::NotHttpsUrl, ErrorNumber::TypeMismatch);
    if (!ftp::PlatformAsksPublicAddress())
        return Fail(Fault::ProtocolUnavailable, ErrorNumber::TypeMismatch, "https");
    return {stored};
}

Checked Check(KeyKind kind, const std::string& stored, const SettingsSource& source) {
    switch (kind) {
        case KeyKind::Seconds: return Seconds(stored);
        case KeyKind::Number: return Number(stored);
        case KeyKind::Text: return {stored};
        case KeyKind::Encoded: return Decoded(stored, source);
        case KeyKind::Protocol: return ProtocolOf(stored);
        case KeyKind::PemFile: return PemFile(stored, source.checkNamedFiles);
        case KeyKind::Fingerprint: return Fingerprint(stored);
        case KeyKind::HttpsUrl: return HttpsUrl(stored);
    }
    return {stored};
}

// The keys of one section, each read and checked once, in the schema's order.
struct Section {
    std::array<Value, SettingKeys.size()> values;
    std::vector<SettingProblem> problems;

    template <typename T>
    T Take(Setting id) {
        return std::get<T>(std::move(values[static_cast<std::size_t>(id)]));
    }
};

Section ReadSection(std::string_view name, const SettingsSource& source) {
    Section section;
    for (const SettingKey& key : SettingKeys) {
        if (key.section != name) continue;
        Checked checked = Check(key.kind, source.read(key), source);
        if (checked.fault)
            section.problems.push_back({key.id, source.file, std::move(*checked.fault)});
        else
            section.values[static_cast<std::size_t>(key.id)] = std::move(checked.value);
    }
    return section;
}

}  // namespace

Loaded<GeneralSettings> LoadGeneralSettings(const SettingsSource& source) {
    Section section = ReadSection(kGeneral, source);
    if (!section.problems.empty()) return {std::nullopt, std::move(section.problems)};
    return {GeneralSettings{
                section.Take<int32_t>(Setting::Interval), section.Take<int32_t>(Setting::First),
                section.Take<double>(Setting::Delay), section.Take<std::string>(Setting::RasDial),
                section.Take<std::string>(Setting::CheckIp)},
            {}};
}

Loaded<FtpSettings> LoadFtpSettings(const SettingsSource& source) {
    Section section = ReadSection(kFtp, source);
    if (!section.problems.empty()) return {std::nullopt, std::move(section.problems)};
    FtpSettings ftp;
    ftp.server = section.Take<std::string>(Setting::Server);
    ftp.user = section.Take<std::string>(Setting::User);
    ftp.path = section.Take<std::string>(Setting::Path);
    ftp.file = section.Take<std::string>(Setting::File);
    ftp.password = section.Take<std::string>(Setting::Password);
    ftp.protection = {section.Take<ftp::Protocol>(Setting::Protocol),
                      section.Take<std::string>(Setting::CaFile),
                      section.Take<std::string>(Setting::HostKey)};
    return {std::move(ftp), {}};
}

std::vector<SettingProblem> CheckAllSettings(const SettingsSource& source) {
    std::vector<SettingProblem> problems = LoadGeneralSettings(source).problems;
    for (SettingProblem& problem : LoadFtpSettings(source).problems)
        problems.push_back(std::move(problem));
    return problems;
}

std::optional<ValueFault> CheckValue(KeyKind kind, const std::string& stored,
                                     const SettingsSource& source) {
    return Check(kind, stored, source).fault;
}

RuntimeError ProblemError(const SettingProblem& problem) {
    const SettingKey& key = KeyOf(problem.id);
    std::string detail = "chiave " + std::string(key.key) + ", sezione " +
                         std::string(key.section) + ", file " + problem.file;
    switch (problem.fault.fault) {
        case Fault::NotANumber:
        case Fault::NotEncoded:
        case Fault::NotText: break;
        case Fault::TooFewSeconds:
            detail += ": almeno " + std::to_string(FewestSeconds) + " secondo";
            break;
        case Fault::UnknownProtocol: detail += " (ftp, ftps o sftp)"; break;
        case Fault::ProtocolUnavailable:
            detail += ": " + problem.fault.protocol + " non disponibile su questo sistema";
            break;
        case Fault::UnreadableFile: detail += ": impossibile leggere il file indicato"; break;
        case Fault::NoCertificate: detail += ": il file indicato non contiene certificati"; break;
        case Fault::NotAFingerprint: detail += " (SHA256:...)"; break;
        case Fault::NotHttpsUrl: detail += " (https://...)"; break;
        case Fault::Missing:
        case Fault::BadTargetName:
        case Fault::UnknownTargetType:
        case Fault::NotAHostName:
        case Fault::NotAWebProtocol:
        case Fault::NotAFlag:
        case Fault::NotAnAlgorithm:
        case Fault::NotBase64:
        case Fault::NotAnAbsolutePath: break;  // a target's, told by TargetProblemError
    }
    return RuntimeError(problem.fault.number, detail);
}

}  // namespace orvane::settings
