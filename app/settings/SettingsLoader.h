// The one reading of a settings file: every key of a section read, converted and checked by its
// kind, giving the typed settings or every problem with its key and file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/Protocol.h"
#include "publish/Targets.h"
#include "runtime/RuntimeError.h"
#include "settings/SettingsSchema.h"

namespace orvane::settings {

// What is wrong with a value, for the program's and the tool's own wording.
enum class Fault {
    NotANumber,           // does not convert (TypeMismatch) or not within range (Overflow)
    TooFewSeconds,        // fewer than FewestSeconds
    NotEncoded,           // empty, or not a text the encoder writes
    NotText,              // decodes to bytes that are no storable text (another key)
    UnknownProtocol,      // not ftp, ftps or sftp
    ProtocolUnavailable,  // a protocol this platform's client does not speak
    UnreadableFile,       // the file a key names cannot be read
    NoCertificate,        // the file a key names holds no PEM certificate
    NotAFingerprint,      // not OpenSSH's SHA256 fingerprint
    NotHttpsUrl,          // not an https:// address without spaces or control characters
    // A target's keys:
    Missing,            // a key its kind needs is not there
    BadTargetName,      // the section's NAME is empty or holds other than letters, digits, -_.
    UnknownTargetType,  // not dyndns2, dnsupdate or command
    NotAHostName,       // not a host name (or, where only one is allowed, several)
    NotAWebProtocol,    // not https or http
    NotAFlag,           // not 0 or 1
    NotAnAlgorithm,     // no TSIG algorithm's name
    NotBase64,          // decodes to no base64 text
    NotAnAbsolutePath,  // a program not named by its absolute path
};

struct ValueFault {
    Fault fault;
    ErrorNumber number;    // the run-time error the program raises for it
    std::string protocol;  // ProtocolUnavailable: the protocol's name, the one thing shown
};

struct SettingProblem {
    Setting id;
    std::string file;
    ValueFault fault;
};

// Where the stored texts come from and how encoded ones are decoded.
struct SettingsSource {
    std::string file;  // named in every problem
    // A key's stored text, empty when the key or the file is missing.
    std::function<std::string(const SettingKey& key)> read;
    // The plain text of an encoded value; a RuntimeError for one it cannot decode (an empty
    // value is the program's SubscriptOutOfRange).
    std::function<std::string(const std::string& stored)> decode;
    // Whether the files that keys name (CAFILE) are read to see that they hold what they must.
    bool checkNamedFiles = false;
    // The file's section names in their order; unset: a file without targets.
    std::function<std::vector<std::string>()> sections;
};

struct GeneralSettings {
    int32_t interval = 0;
    int32_t first = 0;
    double delay = 0;
    std::string dialEntry;
    std::string checkIp;  // the public-address service; empty: the link's address is published
};

struct FtpSettings {
    std::string server;
    std::string user;
    std::string path;  // the decoded remote directory, to which `file` is appended as it is
    std::string file;
    std::string password;
    ftp::Protection protection;
};

// The settings, or the problems of every key that has one, in reading order.
template <typename Settings>
struct Loaded {
    std::optional<Settings> settings;
    std::vector<SettingProblem> problems;
};

Loaded<GeneralSettings> LoadGeneralSettings(const SettingsSource& source);
Loaded<FtpSettings> LoadFtpSettings(const SettingsSource& source);
// The problems of every key of the file, GENERAL's first.
std::vector<SettingProblem> CheckAllSettings(const SettingsSource& source);

// A problem of a [TARGET:NAME] section: its section and key as the file names them.
struct TargetProblem {
    std::string section;
    std::string key;  // empty for the section's name itself
    std::string file;
    ValueFault fault;
};

struct LoadedTargets {
    std::vector<publish::TargetSettings> targets;  // those without a problem, in file order
    std::vector<TargetProblem> problems;
};

// Every [TARGET:NAME] section of the file, each key checked as its kind of target needs.
LoadedTargets LoadTargetSettings(const SettingsSource& source);

// Whether the file has a [TARGET:NAME] section, good or not.
bool HasTargets(const SettingsSource& source);

// The section names of a settings file's text, in their order.
std::vector<std::string> ProfileSectionNames(std::string_view content);

// The program's error for a target's problem, naming the key, the section and the file.
RuntimeError TargetProblemError(const TargetProblem& problem);

// Whether `stored` is good for a key of `kind` (decoded through `source` when encoded).
std::optional<ValueFault> CheckValue(KeyKind kind, const std::string& stored,
                                     const SettingsSource& source);

// The program's error for a problem: its run-time error number, with the key, the section and
// the file, and what a user needs to mend it ("almeno 1 secondo"). Never holds a value.
RuntimeError ProblemError(const SettingProblem& problem);

}  // namespace orvane::settings
