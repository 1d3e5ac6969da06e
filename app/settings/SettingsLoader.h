// The one reading of a settings file: every key of a section read, converted and checked by its
// kind, giving the typed settings or every problem with its key and file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ftp/Protocol.h"
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

// Whether `stored` is good for a key of `kind` (decoded through `source` when encoded).
std::optional<ValueFault> CheckValue(KeyKind kind, const std::string& stored,
                                     const SettingsSource& source);

// The program's error for a problem: its run-time error number, with the key, the section and
// the file, and what a user needs to mend it ("almeno 1 secondo"). Never holds a value.
RuntimeError ProblemError(const SettingProblem& problem);

}  // namespace orvane::settings
