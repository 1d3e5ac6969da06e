// Starting, reading and stopping the loopback test FTP server.
#include "support/FtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvane::testing {

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartLimitMs = 15000;

// Runs argv[0] directly (no shell) with this process's environment, on `in` and `out` unless
// they are -1; stderr is ours. -1 if there is no process; a program that cannot run exits 127.
pid_t Spawn(std::vector<std::string> argv, int in = -1, int out = -1) {
    std::vector<char*> args;
    for (auto& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {  // only async-signal-safe calls from here on
        if ((in >= 0 && dup2(in, STDIN_FILENO) < 0) || (out >= 0 && dup2(out, STDOUT_FILENO) < 0)) {
            _exit(126);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The port from the "PORT n" line the server prints once it listens.
uint16_t ReadPort(int fd) {
    pollfd waiting{fd, POLLIN, 0};
    std::string line;
    char c = 0;
    while (c != '\n' && poll(&waiting, 1, kStartLimitMs) > 0 && read(fd, &c, 1) == 1) line += c;
    unsigned port = 0;
    if (!line.ends_with('\n') || std::sscanf(line.c_str(), "PORT %u", &port) != 1 || port == 0 ||
        port > 65535) {
        throw std::runtime_error("FtpTestServer: no port in time (see its stderr): " + line);
    }
    return static_cast<uint16_t>(port);
}

}  // namespace

bool FtpTestServer::Available(std::string* why) {
    static const bool available = [] {
        const pid_t pid = Spawn({kPython, "-c", "import pyftpdlib"});
        return pid > 0 && WaitForExit(pid) == 0;
    }();
    if (why != nullptr && !available) *why = std::string(kPython) + " with pyftpdlib is missing";
    return available;
}

bool FtpTestServer::SshAvailable(std::string* why) {
    const bool available = geteuid() == 0 && access("/usr/sbin/sshd", X_OK) == 0;
    if (why != nullptr && !available) *why = "sshd for the tests needs root and /usr/sbin/sshd";
    return available;
}

std::string FtpTestServer::stateText(const std::string& name) const {
    std::string line;
    std::ifstream file(base_ / name);
    std::getline(file, line);
    return line;
}

FtpTestServer::FtpTestServer(FtpServerOptions options) : options_(std::move(options)) {
    std::filesystem::create_directories(root_ / options_.loginDir);
    std::vector<std::string> args = {kPython,        ORVANE_FTP_SERVER_SCRIPT,
                                     "--root",       root_.string(),
                                     "--user",       options_.user,
                                     "--login-dir",  options_.loginDir,
                                     "--watch-stdin"};
    args.insert(args.end(), {"--mode", options_.mode});
    if (options_.protocol == "checkip") {
        args = {kPython,      ORVANE_HTTPS_SERVER_SCRIPT, "--tls-dir", base_.string(), "--mode",
                options_.mode};
    } else if (options_.protocol == "sftp") {
        args[1] = ORVANE_SSH_SERVER_SCRIPT;
        args.insert(args.end(), {"--state-dir", base_.string()});
    } else {
        args.insert(args.end(), {"--transcript", transcriptPath_.string()});
        if (options_.protocol == "ftps" || options_.protocol == "https")
            args.insert(args.end(), {"--tls-dir", base_.string()});
    }
    setenv("FTP_TEST_PASSWORD", options_.password.c_str(), 1);  // off the command line
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0) {
        process_.pid = Spawn(args, in[0], out[1]);
    }
    process_.stdinWrite = in[1];
    process_.stdoutRead = out[0];
    close(in[0]);
    close(out[1]);
    port_ = ReadPort(out[0]);  // without a server, the pipe ends at once
}

FtpTestServer::Process::~Process() {
    if (pid > 0) {
        kill(pid, SIGKILL);  // it keeps no state worth an orderly end: the transcript is flushed
        WaitForExit(pid);
    }
    for (const int fd : {stdinWrite, stdoutRead}) {
        if (fd >= 0) close(fd);
    }
}

std::string FtpTestServer::transcript() const { return test::ReadText(transcriptPath_); }

int FtpTestServer::connectionCount() const { return commandCount(""); }

// Counts "<n> <- VERB" and "<n> <- VERB args" lines; no verb counts "<n> CONNECT" lines.
int FtpTestServer::commandCount(std::string_view verb) const {
    const std::string wanted = verb.empty() ? " CONNECT" : " <- " + std::string(verb);
    int count = 0;
    std::istringstream text(transcript());
    for (std::string line; std::getline(text, line);) {
        const auto at = line.find(wanted), end = at + wanted.size();
        count += at != std::string::npos && (end == line.size() || line[end] == ' ');
    }
    return count;
}

KnownHostsHome::KnownHostsHome(const FtpTestServer& server, bool known, bool revoked)
    : saved_(getenv("HOME") ? getenv("HOME") : "/") {
    const auto ssh = folder_.folder() / ".ssh";
    std::filesystem::create_directories(ssh);
    const std::string line = "[127.0.0.1]:" + std::to_string(server.port()) + " " +
                             server.stateText("host_key.pub") + "\n";
    test::WriteText(ssh / "known_hosts", (revoked ? "@revoked " + line : "") + (known ? line : ""));
    setenv("HOME", folder_.folder().c_str(), 1);
}

KnownHostsHome::~KnownHostsHome() { setenv("HOME", saved_.c_str(), 1); }

}  // namespace orvane::testing
