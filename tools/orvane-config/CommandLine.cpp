// Parsing and validating orvane-config's arguments.
#include "orvane-config/CommandLine.h"

#include "orvane-config/SettingsCheck.h"
#include "runtime/RuntimeError.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"
#include "settings/SettingsLoader.h"

namespace orvane::config {

namespace {

using settings::KeyKind;
using settings::SettingKey;
using settings::SettingKeys;

// A value checked as the program's loader checks the stored text; the file CAFILE names too.
void RequireValid(const std::string& option, const std::string& value, KeyKind kind) {
    settings::SettingsSource source;
    source.checkNamedFiles = true;
    const auto fault = settings::CheckValue(kind, value, source);
    if (!fault) return;
    if (fault->fault == settings::Fault::NotANumber)
        throw UsageError(
            option + ": \"" + value + "\" is not " +
            (kind == KeyKind::Seconds ? "a whole number in the 32-bit range" : "a number") + " (" +
            ErrorDescription(fault->number) + ")");
    throw UsageError(option + ": " + FaultReason(*fault));
}

// The options of write (every required one present) or of set (any, and --password), after
// an optional FILE.
void ParseOptions(const std::vector<std::string>& args, Command& command) {
    const bool set = command.kind == Command::Kind::Set;
    const std::string& verb = args[0];
    WriteRequest& request = command.write;
    const bool named = args.size() > 1 && !args[1].starts_with("--");
    if (named) request.file = args[1];
    auto& seen = request.given;
    for (std::size_t i = named ? 2 : 1; i < args.size(); ++i) {
        std::string name = args[i], value;
        if (set && name == settings::PasswordOption && !command.withPassword) {
            command.withPassword = true;
            continue;
        }
        const auto equals = name.find('=');
        const bool inlineValue = name.starts_with("--") && equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (!settings::KeyOfOption(name) || name == settings::PasswordOption)
            throw UsageError(verb + ": unknown argument " + name);
        if (seen.contains(name)) throw UsageError(name + " is given twice");
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            value = args[++i];
        }
        seen[name] = value;
    }
    for (const SettingKey& setting : SettingKeys)
        if (!set && !setting.defaultValue && setting.option != settings::PasswordOption &&
            !seen.contains(setting.option) && !(request.WithoutFile() && setting.section == "FTP"))
            throw UsageError("write: " + std::string(setting.option) + " is missing");
    if (set && seen.empty() && !command.withPassword)
        throw UsageError("set: nothing to change (give at least one option)");
}

// Every value a write stores, or only those a set was given, checked as the key is stored.
void Validate(const WriteRequest& request, bool onlyGiven) {
    for (const SettingKey& setting : SettingKeys) {
        const std::string name(setting.option);
        if (name == settings::PasswordOption || (onlyGiven && !request.given.contains(name)))
            continue;
        if (request.WithoutFile() && setting.section == "FTP") continue;
        const std::string value = request.ValueOf(name);
        // Encoded values are checked in their stored form, which the tool makes.
        const bool encoded = setting.kind == KeyKind::Encoded;
        const bool number = setting.kind == KeyKind::Seconds || setting.kind == KeyKind::Number;
        if (!number) RequireStorable(name, value, encoded);
        if (!encoded) RequireValid(name, value, setting.kind);
    }
}

}  // namespace

std::string WriteRequest::ValueOf(std::string_view option) const {
    if (const auto value = given.find(option); value != given.end()) return value->second;
    return std::string(settings::KeyOfOption(option)->defaultValue.value_or(""));
}

bool WriteRequest::WithoutFile() const {
    const auto server = given.find("--server");
    return server != given.end() && server->second.empty();
}

void RequireStorable(const std::string& what, const std::string& value, bool encoded) {
    if (!settings::IsStorableText(value))
        throw UsageError(what +
                         ": holds NUL, CR or LF, or bytes that are not text in this "
                         "system's encoding, which a settings line cannot hold");
    if (encoded && value.empty())
        throw UsageError(what + ": must not be empty (an empty value cannot be stored encoded)");
    const std::size_t limit =
        encoded ? settings::MaxEncodablePlainLength : settings::ProfileValueLimit;
    if (value.size() > limit)
        throw UsageError(what + ": longer than " + std::to_string(limit) + " bytes");
}

Command ParseCommandLine(const std::vector<std::string>& args) {
    Command command;
    if (args.empty()) throw UsageError("no command given");
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h" || verb == "help") {
        if (args.size() > 1) throw UsageError("--help takes no arguments");
        command.kind = Command::Kind::Help;
    } else if (verb == "write" || verb == "set") {
        command.kind = verb == "write" ? Command::Kind::Write : Command::Kind::Set;
        ParseOptions(args, command);
        Validate(command.write, command.kind == Command::Kind::Set);
    } else if (verb == "check") {
        if (args.size() > 2 || (args.size() == 2 && args[1].starts_with("--")))
            throw UsageError("check takes at most one FILE");
        command.kind = Command::Kind::Check;
        if (args.size() == 2) command.file = args[1];
    } else if (verb == "target") {
        command.target = ParseTargetArguments(args);
        command.kind = args[1] == "add"      ? Command::Kind::TargetAdd
                       : args[1] == "remove" ? Command::Kind::TargetRemove
                                             : Command::Kind::TargetList;
    } else {
        throw UsageError("unknown command " + verb);
    }
    return command;
}

std::string UsageText() {
    return "Usage: orvane-config write [FILE] --server HOST --user USER --path PATH --file NAME\n"
           "                           [--interval SECONDS] [--first SECONDS] [--delay MS]\n"
           "                           [--rasdial ENTRY] [--protocol ftp|ftps|sftp]\n"
           "                           [--cafile PEM] [--hostkey SHA256:...]\n"
           "                           [--checkip https://...]\n"
           "       orvane-config set [FILE] [--password] [any option of write]...\n"
           "       orvane-config check [FILE]\n"
           "       orvane-config target add [FILE] --name NAME --type dyndns2|dnsupdate|command\n"
           "                           [--server HOST[:PORT]] [--user USER] [--hostname NAMES]\n"
           "                           [--protocol https|http] [--cafile PEM] [--ipv6 0|1]\n"
           "                           [--zone ZONE] [--ttl SECONDS] [--key-name NAME]\n"
           "                           [--key-algorithm hmac-sha256|...] [--run PROGRAM]\n"
           "       orvane-config target remove [FILE] --name NAME\n"
           "       orvane-config target list [FILE]\n"
           "       orvane-config --help\n"
           "\n"
           "write   writes every key of an Orvane settings file; SERVER, USER, PATH and\n"
           "        PASSWORD are stored encoded. The FTP password is the first line of\n"
           "        standard input when that is not a terminal, else it is asked for on the\n"
           "        terminal without echo. An existing file keeps its other sections, keys and\n"
           "        comments. Defaults: INTERVAL 600, FIRST 10, DELAY 0, RASDIAL empty,\n"
           "        PROTOCOL ftp, CAFILE, HOSTKEY and CHECKIP empty. --server '' writes a\n"
           "        file without the FTP file (no other FTP option, no password), for targets.\n"
           "set     changes only the values given and keeps everything else; the password\n"
           "        only with --password (read as write reads it).\n"
           "check   says for every key whether it is present and valid, without showing\n"
           "        any value; exits with 1 when something is wrong. Warns when plain FTP\n"
           "        would carry the password in clear to another machine.\n"
           "\n"
           "target  adds a [TARGET:NAME] section, a place besides the FTP file where the\n"
           "        address is published: dyndns2 (--server, --user, --hostname; the password\n"
           "        read as write reads it), dnsupdate (--server, --zone, --hostname,\n"
           "        --key-name; the TSIG secret, base64, read as the password is) or command\n"
           "        (--run, an absolute path). remove takes one away; list shows them without\n"
           "        their passwords and secrets. With a target, [FTP] SERVER may be empty.\n"
           "\n"
           "--protocol  ftp: plain FTP, the password in clear. ftps: FTP with TLS, the\n"
           "            server's certificate checked against the system's authorities or the\n"
           "            PEM file --cafile. sftp: SSH's file transfer, port 22 by default, the\n"
           "            host key checked against --hostkey or else ~/.ssh/known_hosts.\n"
           "--hostkey   the server key's fingerprint: ssh-keyscan HOST | ssh-keygen -lf -\n"
           "--checkip   a service that answers with the address the world sees (plain text,\n"
           "            or \"Current IP Address: ...\"): published instead of the link's own.\n"
           "\n"
           "Encoded is not encrypted: anyone who can read the settings file and has Orvane\n"
           "can recover the FTP values, so the file is written readable by its owner only\n"
           "(the system service's also by its group).\n"
           "\n"
           "FILE    defaults to the file orvane reads: orvane.ini beside the program when\n"
           "        it is there, else $XDG_CONFIG_HOME/orvane/orvane.ini\n"
           "        (~/.config/orvane/orvane.ini). Run as root where the system service is\n"
           "        installed (/lib/systemd/system/orvane.service, from orvane-headless):\n"
           "        the service's /etc/orvane/orvane.ini, readable by the group orvane.\n"
           "Exit status: 0 done, 1 failed or settings invalid, 2 wrong usage.\n";
}

}  // namespace orvane::config
