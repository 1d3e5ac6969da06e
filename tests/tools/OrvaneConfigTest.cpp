// The built orvane-config run as a user runs it: write, check, usage errors, and what the program reads back.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ostream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"
#include "runtime/Conversion.h"
#include "settings/mCrypt.h"

extern char** environ;

namespace orvane {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(count));
    close(fd);
    return text;
}

// Runs the tool with `args`, `input` on its standard input (a pipe, so not a terminal).
Outcome RunTool(std::vector<std::string> args, const std::string& input = "") {
    // A tool that stops before reading its input must not take the test down with it.
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    args.insert(args.begin(), ORVANE_CONFIG_BINARY);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ORVANE_CONFIG_BINARY, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    Outcome outcome;
    if (spawned == 0) {
        (void)!write(in[1], input.data(), input.size());
        close(in[1]);
        outcome.out = Drain(out[0]);
        outcome.err = Drain(err[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
        for (int fd : {in[1], out[0], err[0]}) close(fd);
    }
    return outcome;
}

const std::string Password = "Top$ecret pw=;#\"";

std::vector<std::string> WriteArgs(const std::string& file, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"write", file, "--server", "ftp.example.org:2121",
                                     "--user", "uploader", "--path", "/pub/orvane/",
                                     "--file", "ip.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(OrvaneConfig, WritesAFileThatChecksAndHidesThePassword) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    const Outcome wrote = RunTool(WriteArgs(file), Password + "\n");
    ASSERT_EQ(wrote.status, 0) << wrote.err;

    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    const std::string content = test::ReadText(file);
    for (const std::string& secret : {Password, std::string("Top$ecret"), std::string("uploader")})
        EXPECT_EQ(content.find(secret), std::string::npos) << secret;
    EXPECT_EQ((wrote.out + wrote.err).find("Top$ecret"), std::string::npos);
    EXPECT_EQ(test::ListDirectory(dir.path()), "orvane.ini");

    const Outcome checked = RunTool({"check", file});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    for (const char* key : {"INTERVAL", "FIRST", "DELAY", "RASDIAL", "SERVER", "USER", "PATH",
                            "FILE", "PASSWORD"})
        EXPECT_NE(checked.out.find(std::string(key) + ": OK"), std::string::npos) << key;
    for (const char* secret : {"Top$ecret", "uploader", "example.org", "/pub/orvane/"})
        EXPECT_EQ((checked.out + checked.err).find(secret), std::string::npos) << secret;
}

TEST(OrvaneConfig, TheProgramReadsBackEveryValue) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    ASSERT_EQ(RunTool(WriteArgs(file, {"--interval", "30", "--first", "5", "--delay", "250",
                                       "--rasdial", " My ISP "}),
                      Password + "\r\n")
                  .status,
              0);
    mCrypt::ModuleStartup(dir.path(), "orvane");
    ASSERT_EQ(mCrypt::SettingsPath, file);
    const auto read = [&](const char* section, const char* key) {
        return mCrypt::ReadSetting(section, key, mCrypt::SettingsPath);
    };
    EXPECT_EQ(ToInt32(read("GENERAL", "INTERVAL")), 30);
    EXPECT_EQ(ToInt32(read("GENERAL", "FIRST")), 5);
    EXPECT_EQ(ToDouble(read("GENERAL", "DELAY")), 250.0);
    EXPECT_EQ(read("GENERAL", "RASDIAL"), " My ISP ");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "SERVER")), "ftp.example.org:2121");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "USER")), "uploader");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "PATH")), "/pub/orvane/");
    EXPECT_EQ(read("FTP", "FILE"), "ip.txt");
    EXPECT_EQ(mCrypt::DecodeSetting(read("FTP", "PASSWORD")), Password);
    mCrypt::ModuleShutdown();
}

TEST(OrvaneConfig, KeepsCommentsAndOtherSectionsOfAnExistingFile) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    test::WriteText(file, "; written by hand\r\n[NOTES]\r\nWHO=me\r\n[general]\r\n"
                          "; how often\r\nInterval=5\r\nEXTRA=kept\r\n");
    ASSERT_EQ(RunTool(WriteArgs(file), Password + "\n").status, 0);
    const std::string content = test::ReadText(file);
    EXPECT_TRUE(content.starts_with("; written by hand\r\n[NOTES]\r\nWHO=me\r\n[general]\r\n"
                                    "; how often\r\nINTERVAL=600\r\nEXTRA=kept\r\nFIRST=10\r\n"))
        << content;
    EXPECT_NE(content.find("\r\n[FTP]\r\n"), std::string::npos);
    EXPECT_EQ(RunTool({"check", file}).status, 0);
}

TEST(OrvaneConfig, CheckNamesEveryBrokenKey) {
    test::TempDir dir;
    const std::string file = dir / "orvane.ini";
    test::WriteText(file, "[GENERAL]\nINTERVAL=often\nFIRST=10\nDELAY=1e999\n"
                          "[FTP]\nSERVER=ftp.example.org\nUSER=\nPATH=+-+++1MK7X\nFILE=ip.txt\n");
    const Outcome checked = RunTool({"check", file});
    EXPECT_EQ(checked.status, 1);
    for (const char* line : {"GENERAL/INTERVAL: invalid", "GENERAL/FIRST: OK",
                             "GENERAL/DELAY: invalid", "GENERAL/RASDIAL: missing",
                             "FTP/SERVER: invalid", "FTP/USER: invalid", "FTP/PATH: invalid",
                             "FTP/FILE: OK", "FTP/PASSWORD: missing"})
        EXPECT_NE(checked.out.find(line), std::string::npos) << line << "\n" << checked.out;
    EXPECT_EQ(checked.out.find("example.org"), std::string::npos);
    EXPECT_EQ(checked.out.find("often"), std::string::npos);
}

TEST(OrvaneConfig, CheckOfAMissingFileFails) {
    test::TempDir dir;
    const Outcome checked = RunTool({"check", dir / "none.ini"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.err.find("none.ini"), std::string::npos);
}

TEST(OrvaneConfig, HelpGoesToStandardOutput) {
    const Outcome help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: orvane-config"), std::string::npos);
}

struct UsageCase {
    const char* label;
    std::vector<std::string> args;
    std::string input;
    const char* mentions;
};

// Names the case in test names and failure messages.
void PrintTo(const UsageCase& c, std::ostream* os) { *os << '"' << c.label << '"'; }

class OrvaneConfigUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(OrvaneConfigUsage, ExitsWithTwoAndWritesNothing) {
    test::TempDir dir;
    std::vector<std::string> args = GetParam().args;
    for (auto& arg : args)
        if (arg == "FILE") arg = dir / "orvane.ini";
    const Outcome outcome = RunTool(args, GetParam().input);
    EXPECT_EQ(outcome.status, 2) << GetParam().label;
    EXPECT_NE(outcome.err.find(GetParam().mentions), std::string::npos)
        << GetParam().label << "\n" << outcome.err;
    EXPECT_EQ(test::ListDirectory(dir.path()), "") << GetParam().label;
    EXPECT_EQ(outcome.err.find("Top$ecret"), std::string::npos);
}

std::vector<std::string> WriteTo(std::vector<std::string> extra = {}) { return WriteArgs("FILE", extra); }

INSTANTIATE_TEST_SUITE_P(
    Table, OrvaneConfigUsage,
    ::testing::Values(
        UsageCase{"no arguments", {}, "", "Usage:"},
        UsageCase{"password option", WriteTo({"--password", "Top$ecret"}), Password + "\n",
                  "--password"},
        UsageCase{"bad interval", WriteTo({"--interval", "1O"}), Password + "\n", "--interval"},
        UsageCase{"no password", WriteTo(), "", "password"},
        UsageCase{"empty password", WriteTo(), "\n", "password"},
        UsageCase{"control character in the password", WriteTo(), "Top$ecret\tx\n", "password"}));

}  // namespace
}  // namespace orvane
