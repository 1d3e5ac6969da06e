// The built orvane-config run as a user runs it: write, check, usage errors, and reading back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/Conversion.h"
#include "settings/KeyMaterial.h"
#include "settings/ProfileReader.h"
#include "settings/SettingCodec.h"
#include "settings/mCrypt.h"
#include "support/TestFiles.h"

extern char** environ;

namespace orvane {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Starts the tool with `args` and the streams `actions` gives it; -1 when it cannot start.
pid_t StartTool(std::vector<std::string> args, const posix_spawn_file_actions_t* actions) {
    args.insert(args.begin(), ORVANE_CONFIG_BINARY);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, ORVANE_CONFIG_BINARY, actions, nullptr, argv.data(), environ) == 0
               ? pid
               : -1;
}

// The exit status of a started tool, -1 when it did not exit.
int ExitStatusOf(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                           : -1;
}

// Runs the tool with `args` and `input` on its standard input (a file, so not a terminal).
Outcome RunTool(std::vector<std::string> args, const std::string& input = "") {
    const test::TempDir scratch;  // apart from the directories the tests look at
    test::WriteText(scratch / "in", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (scratch / "in").c_str(), O_RDONLY, 0);
    for (const auto& [fd, name] : {std::pair{1, "out"}, std::pair{2, "err"}})
        posix_spawn_file_actions_addopen(&actions, fd, (scratch / name).c_str(), O_WRONLY | O_CREAT,
                                         0600);
    Outcome outcome;
    if (const int status = ExitStatusOf(StartTool(std::move(args), &actions)); status >= 0)
        outcome = {status, test::ReadText(scratch / "out"), test::ReadText(scratch / "err")};
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// Tabs and accented letters are a password's own.
const std::string Password = "Top$ecret pw=;#\"\t\u00e8\u20ac";

std::vector<std::string> WriteArgs(const std::string& file, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"write",  file,       "--server", "ftp.example.org:2121",
                                     "--user", "uploader", "--path",   "/pub/città/",
                                     "--file", "ip.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Written over a file edited by hand: its comments and other sections stay, the options not
// given get their defaults.
TEST(OrvaneConfig, WritesAFileThatChecksHidesThePasswordAndReadsBack) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    const std::string byHand = "; written by hand\r\n[NOTES]\r\nWHO=me\r\n[general]\r\n";
    test::WriteText(file, byHand + "Interval=5\r\nEXTRA=kept\r\n");
    const Outcome wrote =
        RunTool(WriteArgs(file, {"--interval=30", "--rasdial", " My ISP "}), Password + "\r\n");
    ASSERT_EQ(wrote.status, 0) << wrote.err;
    EXPECT_TRUE(test::ReadText(file).starts_with(byHand + "INTERVAL=30\r\nEXTRA=kept\r\n"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(test::ListDirectory(dir.path()), "orvane.ini");
    for (const std::string secret : {"Top$ecret", "uploader"}) {
        EXPECT_EQ(test::ReadText(file).find(secret), std::string::npos) << secret;
        EXPECT_EQ((wrote.out + wrote.err).find(secret), std::string::npos) << secret;
    }

    const Outcome checked = RunTool({"check", file});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_NE(checked.err.find("warning: PROTOCOL is ftp"), std::string::npos) << checked.err;
    for (const char* secret : {"Top$ecret", "uploader", "example.org", "/pub/città/"})
        EXPECT_EQ((checked.out + checked.err).find(secret), std::string::npos) << secret;

    mCrypt::ModuleStartup(dir.path(), "orvane");
    const auto read = [&](const char* section, const char* key) {
        return mCrypt::ReadSetting(section, key, file);
    };
    EXPECT_EQ(ToInt32(read("GENERAL", "FIRST")), 10);
    EXPECT_EQ(ToDouble(read("GENERAL", "DELAY")), 0.0);
    EXPECT_EQ(read("GENERAL", "RASDIAL"), " My ISP ");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "SERVER")), "ftp.example.org:2121");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "USER")), "uploader");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "PATH")), "/pub/città/");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "PASSWORD")), Password);
    EXPECT_EQ(read("FTP", "PROTOCOL"), "ftp");

    // set changes what it is given and nothing else; the password only when asked to.
    const std::string fingerprint = "SHA256:" + std::string(43, 'k');
    test::WriteText(dir / "ca.pem",
                    "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    const auto stored = [&] {
        std::string all;
        for (const char* key : {"SERVER", "USER", "PATH", "FILE", "PASSWORD"})
            all += read("FTP", key);
        return all + read("GENERAL", "FIRST") + read("GENERAL", "RASDIAL");
    };
    const std::string before = stored();
    ASSERT_EQ(RunTool({"set", file, "--interval", "45", "--protocol=sftp", "--hostkey", fingerprint,
                       "--cafile", dir / "ca.pem"},
                      "ignored\n")
                  .status,
              0);
    EXPECT_EQ(ToInt32(read("GENERAL", "INTERVAL")), 45);
    EXPECT_EQ(read("FTP", "PROTOCOL"), "sftp");
    EXPECT_EQ(read("FTP", "HOSTKEY"), fingerprint);
    EXPECT_EQ(stored(), before);
    ASSERT_EQ(RunTool({"set", file, "--password"}, "n3w pw\n").status, 0);
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "PASSWORD")), "n3w pw");
    EXPECT_EQ(read("FTP", "PROTOCOL"), "sftp");
    const Outcome secured = RunTool({"check", file});
    EXPECT_EQ(secured.status, 0) << secured.out;
    EXPECT_EQ(secured.err, "");
    EXPECT_NE(RunTool({"set", dir / "none.ini", "--first", "3"}).status, 0);
    mCrypt::ModuleShutdown();

    // Root changing a user's file leaves it the user's.
    if (geteuid() != 0) return;
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(RunTool({"set", file, "--first", "4"}).status, 0);
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(std::pair(info.st_uid, info.st_gid), std::pair(65534u, 65534u));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// Changes made at the same moment are made one after the other: none is lost.
TEST(OrvaneConfig, ChangesMadeAtTheSameTimeAreAllKept) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    ASSERT_EQ(RunTool(WriteArgs(file), Password + "\n").status, 0);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    for (int round = 1; round <= 40; ++round) {
        const std::string value = std::to_string(round);
        const pid_t first = StartTool({"set", file, "--first", value}, &quiet);
        const pid_t interval = StartTool({"set", file, "--interval", value}, &quiet);
        ASSERT_EQ(ExitStatusOf(first), 0);
        ASSERT_EQ(ExitStatusOf(interval), 0);
        const std::string text = test::ReadText(file);
        ASSERT_EQ(settings::FindProfileValue(text, "GENERAL", "FIRST"), value) << "round " << value;
        ASSERT_EQ(settings::FindProfileValue(text, "GENERAL", "INTERVAL"), value)
            << "round " << value;
    }
    posix_spawn_file_actions_destroy(&quiet);
    EXPECT_EQ(test::ListDirectory(dir.path()), "orvane.ini") << "no lock file is left";
}

TEST(OrvaneConfig, CheckNamesEveryBrokenKeyAndExitsWithOne) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    test::WriteText(file,
                    "[GENERAL]\nINTERVAL=often\nFIRST=0\nDELAY=1e999\n; RASDIAL=\n"
                    "[FTP]\nSERVER=ftp.example.org\nUSER=\nPATH=+-+++1MK7X\nFILE=ip.txt\n"
                    "PASSWORD=" +
                        settings::EncodeSetting("s3cret", "another key") + "\n");
    const Outcome checked = RunTool({"check", file});
    EXPECT_EQ(checked.status, 1);
    for (const char* line :
         {"GENERAL/INTERVAL: invalid", "GENERAL/FIRST: invalid", "GENERAL/DELAY: invalid",
          "GENERAL/RASDIAL: missing", "FTP/SERVER: invalid", "FTP/USER: invalid",
          "FTP/PATH: invalid", "FTP/FILE: OK", "FTP/PASSWORD: invalid"})
        EXPECT_NE(checked.out.find(line), std::string::npos) << line << "\n" << checked.out;
    EXPECT_EQ(checked.out.find("example.org"), std::string::npos);
    EXPECT_EQ(checked.out.find("often"), std::string::npos);

    // The keys a file may lack are not counted.
    test::WriteText(file, "");
    const std::string empty = RunTool({"check", file}).out;
    EXPECT_NE(empty.find(": 9 keys missing or invalid"), std::string::npos) << empty;
    const Outcome missing = RunTool({"check", dir / "none.ini"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.ini"), std::string::npos);
}

// Targets beside the FTP file: added with the password read as write reads it, listed and
// checked without it, refused twice under one name, and removed with all their lines.
TEST(OrvaneConfig, TargetsAreAddedListedCheckedAndRemoved) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    ASSERT_EQ(RunTool(WriteArgs(file), "ftp-pw\n").status, 0);
    const std::vector<std::string> dyn = {"target",
                                          "add",
                                          file,
                                          "--name",
                                          "dyn",
                                          "--type",
                                          "dyndns2",
                                          "--server",
                                          "127.0.0.1:8443",
                                          "--user",
                                          "me",
                                          "--hostname",
                                          "casa.example.net,ufficio.example.net"};
    ASSERT_EQ(RunTool(dyn, Password + "\n").status, 0);
    ASSERT_EQ(RunTool({"target", "add", file, "--name", "run", "--type", "command", "--run",
                       "/usr/local/bin/publish"})
                  .status,
              0);
    EXPECT_EQ(RunTool(dyn, Password + "\n").status, 2) << "the same name twice";
    const std::string content = test::ReadText(file);
    const auto stored = settings::FindProfileValue(content, "TARGET:dyn", "PASSWORD");
    ASSERT_TRUE(stored);
    EXPECT_EQ(settings::DecodeSettingWithCore(*stored, mCustom::CoreCipherKey()), Password);

    const Outcome listed = RunTool({"target", "list", file});
    EXPECT_EQ(listed.out,
              "dyn dyndns2 SERVER=127.0.0.1:8443 USER=me PASSWORD=(set) "
              "HOSTNAME=casa.example.net,ufficio.example.net\nrun command "
              "RUN=/usr/local/bin/publish\n");
    const Outcome checked = RunTool({"check", file});
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(checked.out.find("TARGET:dyn: OK\nTARGET:run: OK\n"), std::string::npos);

    ASSERT_EQ(RunTool({"target", "remove", file, "--name", "dyn"}).status, 0);
    EXPECT_EQ(test::ReadText(file).find("dyn"), std::string::npos);
    EXPECT_EQ(RunTool({"target", "remove", file, "--name", "dyn"}).status, 2);

    // Without the FTP file: no other FTP option and no password, and valid once a target is there.
    const std::string bare = dir / "bare.ini";
    ASSERT_EQ(RunTool({"write", bare, "--server", ""}).status, 0);
    EXPECT_EQ(RunTool({"check", bare}).status, 1);
    ASSERT_EQ(RunTool({"target", "add", bare, "--name", "run", "--type", "command", "--run",
                       "/usr/local/bin/publish"})
                  .status,
              0);
    const Outcome alone = RunTool({"check", bare});
    EXPECT_EQ(alone.status, 0) << alone.out;
    EXPECT_EQ(alone.out.find("FTP/"), std::string::npos) << alone.out;
}

TEST(OrvaneConfig, UsageErrorsExitWithTwoAndWriteNothing) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    const struct {
        const char* label;
        std::vector<std::string> args;
        std::string input;
        const char* mentions;
    } cases[] = {{"no arguments", {}, "", "Usage:"},
                 {"password option", WriteArgs(file, {"--password", "Top$ecret"}), Password + "\n",
                  "--password"},
                 {"no password", WriteArgs(file), "", "password"},
                 {"empty password", WriteArgs(file), "\n", "password"},
                 {"target password option",
                  {"target", "add", file, "--name", "dyn", "--type", "dyndns2", "--server", "h",
                   "--user", "u", "--hostname", "h", "--password", "Top$ecret"},
                  Password + "\n",
                  "--password"},
                 {"option of another type",
                  {"target", "add", file, "--name", "run", "--type", "command", "--run",
                   "/bin/true", "--zone", "example.net"},
                  "",
                  "--zone means nothing to a command target"},
                 {"value the program refuses",
                  {"target", "add", file, "--name", "run", "--type", "command", "--run", "true"},
                  "",
                  "RUN: not an absolute path"}};
    for (const auto& c : cases) {
        const Outcome outcome = RunTool(c.args, c.input);
        EXPECT_EQ(outcome.status, 2) << c.label;
        EXPECT_NE(outcome.err.find(c.mentions), std::string::npos) << c.label << outcome.err;
        EXPECT_EQ(outcome.err.find("Top$ecret"), std::string::npos) << c.label;
        EXPECT_EQ(test::ListDirectory(dir.path()), "") << c.label;
    }
    const Outcome help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: orvane-config"), std::string::npos);
}

}  // namespace
}  // namespace orvane
