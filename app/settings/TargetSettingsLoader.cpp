// Reading the [TARGET:NAME] sections: each key checked as its kind of target needs, the
// decoded settings and their fingerprint, or every problem with its key, section and file.
#include <algorithm>
#include <array>

#include "publish/Dyndns2Protocol.h"
#include "runtime/Conversion.h"
#include "settings/ProfileReader.h"
#include "settings/SettingsLoader.h"
#include "settings/TargetSchema.h"

namespace orvane::settings {

namespace {

constexpr std::array<std::string_view, 6> kAlgorithms{"hmac-md5",    "hmac-sha1",   "hmac-sha224",
                                                      "hmac-sha256", "hmac-sha384", "hmac-sha512"};

uint8_t MaskOf(publish::TargetType type) {
    switch (type) {
        case publish::TargetType::Dyndns2: return ForDyndns2;
        case publish::TargetType::DnsUpdate: return ForDnsUpdate;
        case publish::TargetType::Command: return ForCommand;
    }
    return 0;
}

bool IsTargetName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string name = text.substr(start, comma - start);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        names.push_back(std::move(name));
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

bool IsBase64(std::string_view text) {
    const std::size_t data = text.find_last_not_of('=') + 1;
    return !text.empty() && text.size() % 4 == 0 && text.size() - data <= 2 &&
           std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(data), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '/';
           });
}

std::optional<ValueFault> Fault_(Fault fault, ErrorNumber number = ErrorNumber::TypeMismatch) {
    return ValueFault{fault, number, {}};
}

// One section's keys, read, checked and decoded.
class TargetReader {
  public:
    TargetReader(const SettingsSource& source, std::string section)
        : source_(source), section_(std::move(section)) {}

    std::optional<publish::TargetSettings> Read(std::vector<TargetProblem>& problems) {
        const std::string name = section_.substr(TargetSectionPrefix.size());
        if (!IsTargetName(name)) {
            Problem("", Fault_(Fault::BadTargetName));
            return Finish(problems);
        }
        settings_.name = name;
        const auto type = publish::ParseTargetType(Stored("TYPE"));
        if (!type) {
            const bool missing = Stored("TYPE").empty();
            Problem("TYPE",
                    Fault_(missing ? Fault::Missing : Fault::UnknownTargetType,
                           missing ? ErrorNumber::SubscriptOutOfRange : ErrorNumber::TypeMismatch));
            return Finish(problems);
        }
        if (*type == publish::TargetType::DnsUpdate && !publish::DnsUpdateAvailable()) {
            Problem("TYPE",
                    ValueFault{Fault::ProtocolUnavailable, ErrorNumber::TypeMismatch, "dnsupdate"});
            return Finish(problems);
        }
        settings_.type = *type;
        std::string fingerprinted = std::string(publish::TargetTypeName(*type)) + '\n';
        for (const TargetKey& key : TargetKeys) {
            if ((key.usedBy & MaskOf(*type)) == 0 || key.kind == TargetKeyKind::Type) continue;
            const std::string stored = Stored(key.key);
            if (stored.empty()) {
                if (key.requiredBy & MaskOf(*type))
                    Problem(key.key, Fault_(key.kind == TargetKeyKind::Encoded ||
                                                    key.kind == TargetKeyKind::Secret
                                                ? Fault::NotEncoded
                                                : Fault::Missing,
                                            ErrorNumber::SubscriptOutOfRange));
                continue;
            }
            const std::optional<std::string> value = Checked(key, stored);
            if (!value) continue;
            Apply(key.key, *value);
            fingerprinted += std::string(key.key) + '=' + *value + '\n';
        }
        settings_.fingerprint = publish::Fingerprint(fingerprinted);
        return Finish(problems);
    }

  private:
    std::string Stored(std::string_view key) const {
        // Only the section and key of a schema entry are read.
        return source_.read(SettingKey{Setting::Interval, section_, key, KeyKind::Text, "", {}});
    }

    void Problem(std::string_view key, std::optional<ValueFault> fault) {
        problems_.push_back({section_, std::string(key), source_.file, std::move(*fault)});
    }

    std::optional<publish::TargetSettings> Finish(std::vector<TargetProblem>& problems) {
        const bool good = problems_.empty();
        problems.insert(problems.end(), problems_.begin(), problems_.end());
        if (!good) return std::nullopt;
        return std::move(settings_);
    }

    // The value to use, or nothing with the problem noted.
    std::optional<std::string> Checked(const TargetKey& key, const std::string& stored) {
        const auto fault = Fault(key, stored);
        if (fault) {
            Problem(key.key, fault);
            return std::nullopt;
        }
        if (key.kind == TargetKeyKind::Encoded || key.kind == TargetKeyKind::Secret)
            return source_.decode(stored);
        return stored;
    }

    std::optional<ValueFault> Fault(const TargetKey& key, const std::string& stored) const {
        switch (key.kind) {
            case TargetKeyKind::Type: return std::nullopt;
            case TargetKeyKind::Encoded: return CheckValue(KeyKind::Encoded, stored, source_);
            case TargetKeyKind::Secret:
                if (auto fault = CheckValue(KeyKind::Encoded, stored, source_)) return fault;
                if (!IsBase64(source_.decode(stored))) return Fault_(Fault::NotBase64);
                return std::nullopt;
            case TargetKeyKind::HostNames:
            case TargetKeyKind::HostName: {
                const std::vector<std::string> names = SplitNames(stored);
                const bool several =
                    names.size() > 1 && (key.kind == TargetKeyKind::HostName ||
                                         settings_.type != publish::TargetType::Dyndns2);
                if (several || !std::all_of(names.begin(), names.end(), publish::IsDyndns2HostName))
                    return Fault_(Fault::NotAHostName);
                return std::nullopt;
            }
            case TargetKeyKind::WebProtocol:
                if (stored != "https" && stored != "http") return Fault_(Fault::NotAWebProtocol);
                return std::nullopt;
            case TargetKeyKind::PemFile: return CheckValue(KeyKind::PemFile, stored, source_);
            case TargetKeyKind::Flag:
                if (stored != "0" && stored != "1") return Fault_(Fault::NotAFlag);
                return std::nullopt;
            case TargetKeyKind::Ttl: return Ttl(stored);
            case TargetKeyKind::Algorithm:
                if (std::find(kAlgorithms.begin(), kAlgorithms.end(), stored) == kAlgorithms.end())
                    return Fault_(Fault::NotAnAlgorithm);
                return std::nullopt;
            case TargetKeyKind::AbsolutePath:
                if (!IsAbsolutePath(stored)) return Fault_(Fault::NotAnAbsolutePath);
                return std::nullopt;
        }
        return std::nullopt;
    }

    static std::optional<ValueFault> Ttl(const std::string& stored) {
        try {
            if (ToInt32(stored) < 0) return Fault_(Fault::NotANumber, ErrorNumber::Overflow);
            return std::nullopt;
        } catch (const RuntimeError& error) {
            return Fault_(Fault::NotANumber, error.number());
        }
    }

    static bool IsAbsolutePath(const std::string& path) {
        if (path.starts_with("/")) return true;
        // A drive's root on Windows: C:\ or C:/.
        return path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    }

    void Apply(std::string_view key, const std::string& value) {
        publish::Dyndns2Settings& dyndns2 = settings_.dyndns2;
        publish::DnsUpdateSettings& dns = settings_.dnsUpdate;
        const bool isDns = settings_.type == publish::TargetType::DnsUpdate;
        if (key == "SERVER") (isDns ? dns.server : dyndns2.server) = value;
        if (key == "USER") dyndns2.user = value;
        if (key == "PASSWORD") dyndns2.password = value;
        if (key == "HOSTNAME") {
            dyndns2.hostnames = SplitNames(value);
            dns.hostname = value;
        }
        if (key == "PROTOCOL") dyndns2.https = value == "https";
        if (key == "CAFILE") dyndns2.caFile = value;
        if (key == "IPV6") dyndns2.ipv6 = value == "1";
        if (key == "ZONE") dns.zone = value;
        if (key == "TTL") dns.ttl = static_cast<uint32_t>(ToInt32(value));
        if (key == "KEYNAME") dns.keyName = value;
        if (key == "KEYALGORITHM") dns.keyAlgorithm = value;
        if (key == "KEYSECRET") dns.keySecret = value;
        if (key == "RUN") settings_.command.program = value;
    }

    const SettingsSource& source_;
    std::string section_;
    publish::TargetSettings settings_;
    std::vector<TargetProblem> problems_;
};

std::vector<std::string> TargetSections(const SettingsSource& source) {
    std::vector<std::string> targets;
    if (!source.sections) return targets;
    for (std::string& name : source.sections()) {
        const bool isTarget =
            name.size() >= TargetSectionPrefix.size() &&
            SameProfileName(std::string_view(name).substr(0, TargetSectionPrefix.size()),
                            TargetSectionPrefix);
        // The reader finds a section by its first occurrence only.
        if (isTarget && std::none_of(targets.begin(), targets.end(), [&](const std::string& seen) {
                return SameProfileName(seen, name);
            }))
            targets.push_back(std::move(name));
    }
    return targets;
}

}  // namespace

std::vector<std::string> ProfileSectionNames(std::string_view content) {
    std::vector<std::string> names;
    for (const ProfileLine& line : ParseProfile(content))
        if (line.kind == ProfileLineKind::Section) names.emplace_back(line.name);
    return names;
}

bool HasTargets(const SettingsSource& source) { return !TargetSections(source).empty(); }

LoadedTargets LoadTargetSettings(const SettingsSource& source) {
    LoadedTargets loaded;
    for (const std::string& section : TargetSections(source)) {
        auto target = TargetReader(source, section).Read(loaded.problems);
        if (target) loaded.targets.push_back(std::move(*target));
    }
    return loaded;
}

RuntimeError TargetProblemError(const TargetProblem& problem) {
    std::string detail = (problem.key.empty() ? "" : "chiave " + problem.key + ", ") + "sezione " +
                         problem.section + ", file " + problem.file;
    switch (problem.fault.fault) {
        case Fault::Missing: detail += ": manca"; break;
        case Fault::BadTargetName: detail += ": nome non valido (lettere, cifre, - _ .)"; break;
        case Fault::UnknownTargetType: detail += " (dyndns2, dnsupdate o command)"; break;
        case Fault::ProtocolUnavailable:
            detail += ": " + problem.fault.protocol + " non disponibile su questo sistema";
            break;
        case Fault::NotAHostName: detail += ": nome host non valido"; break;
        case Fault::NotAWebProtocol: detail += " (https o http)"; break;
        case Fault::NotAFlag: detail += " (0 o 1)"; break;
        case Fault::NotAnAlgorithm: detail += " (hmac-sha256, hmac-sha512, ...)"; break;
        case Fault::NotBase64: detail += ": non in base64"; break;
        case Fault::NotAnAbsolutePath: detail += ": serve un percorso assoluto"; break;
        case Fault::UnreadableFile: detail += ": impossibile leggere il file indicato"; break;
        case Fault::NoCertificate: detail += ": il file indicato non contiene certificati"; break;
        case Fault::NotANumber:
        case Fault::TooFewSeconds:
        case Fault::NotEncoded:
        case Fault::NotText:
        case Fault::UnknownProtocol:
        case Fault::NotAFingerprint:
        case Fault::NotHttpsUrl: break;
    }
    return RuntimeError(problem.fault.number, detail);
}

}  // namespace orvane::settings
