// The per-key checks of a settings file.
#include "orvane-config/SettingsCheck.h"

#include "orvane-config/SettingKeys.h"
#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

namespace {

// Empty when the value is good, else the reason it is not.
std::string Problem(KeyKind kind, const std::string& value, const std::string& key) {
    try {
        switch (kind) {
            case KeyKind::Integer: ToInt32(value); return {};
            case KeyKind::Number: ToDouble(value); return {};
            case KeyKind::Text: return {};
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

}  // namespace

std::vector<KeyVerdict> CheckSettings(std::string_view content, const std::string& key) {
    std::vector<KeyVerdict> verdicts;
    for (const SettingKey& setting : SettingKeys) {
        KeyVerdict verdict;
        verdict.name = std::string(setting.section) + "/" + std::string(setting.key);
        const auto value = settings::FindProfileValue(content, setting.section, setting.key);
        if (!value) {
            verdict.status = KeyVerdict::Status::Missing;
        } else if (std::string reason = Problem(setting.kind, *value, key); !reason.empty()) {
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
        case KeyVerdict::Status::Invalid: return verdict.name + ": invalid (" + verdict.reason + ")";
    }
    return verdict.name;
}

}  // namespace orvane::config
