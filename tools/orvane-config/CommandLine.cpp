// Parsing and validating orvane-config's arguments.
#include "orvane-config/CommandLine.h"

#include <map>

#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"

namespace orvane::config {

namespace {

struct OptionTarget {
    std::string WriteRequest::*field;
    bool required;
};

const std::map<std::string, OptionTarget, std::less<>> WriteOptions = {
    {"--server", {&WriteRequest::server, true}},     {"--user", {&WriteRequest::user, true}},
    {"--path", {&WriteRequest::path, true}},         {"--file", {&WriteRequest::remoteFile, true}},
    {"--interval", {&WriteRequest::interval, false}}, {"--first", {&WriteRequest::first, false}},
    {"--delay", {&WriteRequest::delay, false}},      {"--rasdial", {&WriteRequest::rasdial, false}},
};

void RequireNumber(const std::string& option, const std::string& value, bool integer) {
    try {
        if (integer)
            ToInt32(value);
        else
            ToDouble(value);
    } catch (const RuntimeError& error) {
        throw UsageError(option + ": \"" + value + "\" is not " +
                         (integer ? "a whole number in the 32-bit range" : "a number") + " (" +
                         error.description() + ")");
    }
}

WriteRequest ParseWrite(const std::vector<std::string>& args) {
    WriteRequest request;
    const bool named = args.size() > 1 && !args[1].starts_with("--");
    if (named) request.file = args[1];
    std::map<std::string, bool> seen;
    for (std::size_t i = named ? 2 : 1; i < args.size(); ++i) {
        std::string name = args[i], value;
        const auto equals = name.find('=');
        const bool inlineValue = name.starts_with("--") && equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto option = WriteOptions.find(name);
        if (option == WriteOptions.end()) throw UsageError("write: unknown argument " + name);
        if (seen[name]) throw UsageError(name + " is given twice");
        seen[name] = true;
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            value = args[++i];
        }
        request.*(option->second.field) = value;
    }
    for (const auto& [name, target] : WriteOptions)
        if (target.required && !seen[name]) throw UsageError("write: " + name + " is missing");

    RequireStorable("--server", request.server, true);
    RequireStorable("--user", request.user, true);
    RequireStorable("--path", request.path, true);
    RequireStorable("--file", request.remoteFile, false);
    RequireStorable("--rasdial", request.rasdial, false);
    RequireNumber("--interval", request.interval, true);
    RequireNumber("--first", request.first, true);
    RequireNumber("--delay", request.delay, false);
    return request;
}

}  // namespace

void RequireStorable(const std::string& what, const std::string& value, bool encoded) {
    if (!settings::IsPrintableText(value))
        throw UsageError(what + ": holds control characters or bytes that are not UTF-8, "
                                "which a settings line cannot hold");
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
    } else if (verb == "write") {
        command.kind = Command::Kind::Write;
        command.write = ParseWrite(args);
    } else if (verb == "check") {
        if (args.size() > 2 || (args.size() == 2 && args[1].starts_with("--")))
            throw UsageError("check takes at most one FILE");
        command.kind = Command::Kind::Check;
        if (args.size() == 2) command.file = args[1];
    } else {
        throw UsageError("unknown command " + verb);
    }
    return command;
}

std::string UsageText() {
    return "Usage: orvane-config write [FILE] --server HOST --user USER --path PATH --file NAME\n"
           "                           [--interval SECONDS] [--first SECONDS] [--delay MS]\n"
           "                           [--rasdial ENTRY]\n"
           "       orvane-config check [FILE]\n"
           "       orvane-config --help\n"
           "\n"
           "write   writes every key of an Orvane settings file; SERVER, USER, PATH and\n"
           "        PASSWORD are stored encoded. The FTP password is the first line of\n"
           "        standard input when that is not a terminal, else it is asked for on the\n"
           "        terminal without echo. An existing file keeps its other sections, keys and\n"
           "        comments. Defaults: INTERVAL 600, FIRST 10, DELAY 0, RASDIAL empty.\n"
           "check   says for every key whether it is present and valid, without showing\n"
           "        any value; exits with 1 when something is wrong.\n"
           "FILE    defaults to the file orvane reads: orvane.ini beside the program when\n"
           "        it is there, else $XDG_CONFIG_HOME/orvane/orvane.ini\n"
           "        (~/.config/orvane/orvane.ini).\n"
           "Exit status: 0 done, 1 failed or settings invalid, 2 wrong usage.\n";
}

}  // namespace orvane::config
