// Adding, removing and listing [TARGET:NAME] sections, each checked as the program reads it.
#include "orvane-config/TargetCommands.h"

#include "orvane-config/CommandLine.h"
#include "orvane-config/SettingsCheck.h"
#include "orvane-config/SettingsEditor.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"
#include "settings/SettingsLoader.h"
#include "settings/TargetSchema.h"

namespace orvane::config {

namespace {

using settings::TargetKey;
using settings::TargetKeyKind;
using settings::TargetKeys;

uint8_t MaskOf(std::string_view type) {
    const auto parsed = publish::ParseTargetType(type);
    if (!parsed) return 0;
    switch (*parsed) {
        case publish::TargetType::Dyndns2: return settings::ForDyndns2;
        case publish::TargetType::DnsUpdate: return settings::ForDnsUpdate;
        case publish::TargetType::Command: return settings::ForCommand;
    }
    return 0;
}

bool IsSecret(const TargetKey& key) {
    return key.option == settings::TargetPasswordOption ||
           key.option == settings::TargetKeySecretOption;
}

bool IsEncoded(const TargetKey& key) {
    return key.kind == TargetKeyKind::Encoded || key.kind == TargetKeyKind::Secret;
}

std::string SectionOf(const std::string& name) {
    return std::string(settings::TargetSectionPrefix) + name;
}

void ParseAddOptions(const std::vector<std::string>& args, std::size_t from,
                     TargetRequest& request) {
    for (std::size_t i = from; i < args.size(); ++i) {
        std::string option = args[i], value;
        const auto equals = option.find('=');
        const bool inlineValue = option.starts_with("--") && equals != std::string::npos;
        if (inlineValue) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        const TargetKey* key = settings::TargetKeyOfOption(option);
        if (option != "--name" && (key == nullptr || IsSecret(*key)))
            throw UsageError("target add: unknown argument " + option +
                             (key ? " (the secret is read as the password is)" : ""));
        if (request.given.contains(option) || (option == "--name" && !request.name.empty()))
            throw UsageError(option + " is given twice");
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
            value = args[++i];
        }
        RequireStorable(option, value, key != nullptr && IsEncoded(*key));
        if (option == "--name")
            request.name = value;
        else
            request.given[option] = value;
    }
}

void RequireOptionsOfType(const TargetRequest& request) {
    const auto type = request.given.find("--type");
    if (type == request.given.end()) throw UsageError("target add: --type is missing");
    const uint8_t mask = MaskOf(type->second);
    if (mask == 0) throw UsageError("--type: not dyndns2, dnsupdate or command");
    for (const TargetKey& key : TargetKeys) {
        const bool given = request.given.contains(key.option);
        if (given && (key.usedBy & mask) == 0)
            throw UsageError(std::string(key.option) + " means nothing to a " + type->second +
                             " target");
        if (!given && (key.requiredBy & mask) != 0 && !IsSecret(key))
            throw UsageError("target add: " + std::string(key.option) + " is missing");
    }
}

std::size_t FileOperandEnd(const std::vector<std::string>& args, TargetRequest& request) {
    const bool named = args.size() > 2 && !args[2].starts_with("--");
    if (named) request.file = args[2];
    return named ? 3 : 2;
}

}  // namespace

TargetRequest ParseTargetArguments(const std::vector<std::string>& args) {
    TargetRequest request;
    const std::string verb = args.size() > 1 ? args[1] : "";
    if (verb == "list") {
        const std::size_t end = FileOperandEnd(args, request);
        if (args.size() > end) throw UsageError("target list takes at most one FILE");
        return request;
    }
    if (verb != "add" && verb != "remove") throw UsageError("target: add, remove or list");
    ParseAddOptions(args, FileOperandEnd(args, request), request);
    if (request.name.empty()) throw UsageError("target " + verb + ": --name is missing");
    if (verb == "remove" && !request.given.empty())
        throw UsageError("target remove takes only --name");
    if (verb == "add") RequireOptionsOfType(request);
    return request;
}

bool TargetNeedsSecret(const TargetRequest& request) {
    const auto type = request.given.find("--type");
    return type != request.given.end() &&
           (MaskOf(type->second) & (settings::ForDyndns2 | settings::ForDnsUpdate)) != 0;
}

std::string AddTarget(std::string_view existing, const TargetRequest& request,
                      const std::optional<std::string>& secret, const std::string& key) {
    const std::string section = SectionOf(request.name);
    for (const std::string& name : settings::ProfileSectionNames(existing))
        if (settings::SameProfileName(name, section))
            throw UsageError("target " + request.name + " is already there; remove it first");
    const uint8_t mask = MaskOf(request.given.at("--type"));
    std::vector<ProfileAssignment> assignments;
    for (const TargetKey& target : TargetKeys) {
        std::optional<std::string> value;
        if (IsSecret(target) && (target.requiredBy & mask) != 0) value = secret;
        if (const auto given = request.given.find(target.option); given != request.given.end())
            value = given->second;
        if (!value) continue;
        assignments.push_back({section, std::string(target.key),
                               IsEncoded(target) ? settings::EncodeSetting(*value, key) : *value});
    }
    std::string text = SetProfileValues(existing, assignments, settings::NewFileLineEnd);
    // Checked as the program will read it: a value it would refuse is not written.
    for (const settings::TargetProblem& problem :
         settings::LoadTargetSettings(SourceOf(text, key)).problems) {
        if (problem.section != section) continue;
        throw UsageError(problem.key.empty() ? "--name: " + FaultReason(problem.fault)
                                             : problem.key + ": " + FaultReason(problem.fault));
    }
    return text;
}

std::string RemoveTarget(std::string_view existing, const std::string& name) {
    const std::string section = SectionOf(name);
    std::string text;
    bool inside = false, found = false;
    for (const settings::ProfileLine& line : settings::ParseProfile(existing)) {
        if (line.kind == settings::ProfileLineKind::Section)
            inside = settings::SameProfileName(line.name, section);
        found = found || inside;
        if (!inside) text += std::string(line.text) + std::string(line.terminator);
    }
    if (!found) throw UsageError("target " + name + " is not there");
    return text;
}

std::vector<std::string> ListTargets(std::string_view content, const std::string& key) {
    const settings::SettingsSource source = SourceOf(content, key);
    std::vector<std::string> lines;
    for (const std::string& section : settings::ProfileSectionNames(content)) {
        if (!section.starts_with(settings::TargetSectionPrefix)) continue;
        std::string line = section.substr(settings::TargetSectionPrefix.size());
        for (const TargetKey& target : TargetKeys) {
            const auto stored = settings::FindProfileValue(content, section, target.key);
            if (!stored) continue;
            std::string shown = *stored;
            if (IsSecret(target)) {
                shown = "(set)";
            } else if (IsEncoded(target)) {
                const auto plain = settings::DecodeSettingWithCore(*stored, key);
                shown = plain ? *plain : "(not decodable with this program's key)";
            }
            line +=
                (target.kind == TargetKeyKind::Type ? " " : " " + std::string(target.key) + "=") +
                shown;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace orvane::config
