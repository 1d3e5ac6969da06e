// Starting, reading and stopping the loopback test FTP server.
#include "tests/ftp/FtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace orvane::testing {

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr auto kStartLimit = std::chrono::seconds(15);
constexpr auto kStopLimit = std::chrono::seconds(5);

[[noreturn]] void Throw(const std::string& what, int error = 0) {
    throw std::runtime_error("FtpTestServer: " + what +
                             (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe MakePipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) Throw("pipe", errno);
    return {fds[0], fds[1]};
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs argv[0] directly (no shell) with the given stdin and stdout; stderr is shared with us.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int in, int out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    auto args = CStrings(argv);
    auto vars = CStrings(env);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), vars.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) Throw("cannot start " + argv[0], error);
    return pid;
}

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> env;
    for (char** var = environ; *var != nullptr; ++var) env.emplace_back(*var);
    return env;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reads one line from `fd` within the time limit; what the server printed first.
std::string ReadFirstLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) == 0) {
            Throw("the server did not report its port in time");
        }
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) Throw("the server ended before reporting its port (see its stderr)");
        line.append(buffer, static_cast<size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

uint16_t ParsePortLine(const std::string& line) {
    unsigned port = 0;
    if (std::sscanf(line.c_str(), "PORT %u", &port) != 1 || port == 0 || port > 65535) {
        Throw("unexpected first line from the server: " + line);
    }
    return static_cast<uint16_t>(port);
}

std::filesystem::path MakeTemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-ftp-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Throw("mkdtemp", errno);
    return pattern;
}

bool PythonHasPyftpdlib() {
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return false;
    pid_t pid = -1;
    try {
        pid = Spawn({kPython, "-c", "import pyftpdlib"}, CurrentEnvironment(), devNull, devNull);
    } catch (const std::exception&) {
        close(devNull);
        return false;
    }
    close(devNull);
    const int status = WaitForExit(pid);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool FtpTestServer::Available(std::string* why) {
    static const bool python = access(kPython, X_OK) == 0;
    static const bool pyftpdlib = python && PythonHasPyftpdlib();
    if (why != nullptr) {
        *why = !python      ? std::string(kPython) + " is missing"
               : !pyftpdlib ? std::string("pyftpdlib is missing (Debian: python3-pyftpdlib)")
                            : std::string();
    }
    return pyftpdlib;
}

FtpTestServer::FtpTestServer(FtpServerOptions options) : options_(std::move(options)) {
    try {
        Start();
    } catch (...) {
        Stop();
        throw;
    }
}

FtpTestServer::~FtpTestServer() { Stop(); }

void FtpTestServer::Start() {
    base_ = MakeTemporaryDirectory();
    root_ = base_ / "root";
    transcriptPath_ = base_ / "transcript.log";
    std::filesystem::create_directories(root_ / options_.loginDir);
    std::ofstream{transcriptPath_};  // exists even before the first connection

    std::vector<std::string> argv = {kPython,         ORVANE_FTP_SERVER_SCRIPT,
                                     "--root",        root_.string(),
                                     "--user",        options_.user,
                                     "--permissions", options_.permissions,
                                     "--login-dir",   options_.loginDir,
                                     "--mode",        options_.mode,
                                     "--transcript",  transcriptPath_.string(),
                                     "--watch-stdin"};
    auto env = CurrentEnvironment();
    env.push_back("FTP_TEST_PASSWORD=" + options_.password);  // off the command line

    const Pipe in = MakePipe();
    const Pipe out = MakePipe();
    stdinWrite_ = in.write;
    stdoutRead_ = out.read;
    try {
        pid_ = Spawn(argv, env, in.read, out.write);
    } catch (...) {
        close(in.read);
        close(out.write);
        throw;
    }
    close(in.read);
    close(out.write);
    port_ = ParsePortLine(ReadFirstLine(stdoutRead_));
}

void FtpTestServer::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                WaitForExit(pid_);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }
    CloseFd(stdinWrite_);
    CloseFd(stdoutRead_);
    if (!base_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }
}

std::string FtpTestServer::transcript() const {
    std::ifstream file(transcriptPath_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> FtpTestServer::transcriptLines() const {
    std::vector<std::string> lines;
    std::istringstream text(transcript());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

int FtpTestServer::connectionCount() const {
    int count = 0;
    for (const auto& line : transcriptLines()) {
        if (line.ends_with(" CONNECT")) ++count;
    }
    return count;
}

int FtpTestServer::commandCount(std::string_view verb) const {
    int count = 0;
    for (const auto& line : transcriptLines()) {
        const auto arrow = line.find(" <- ");
        if (arrow == std::string::npos) continue;
        std::string_view command = std::string_view(line).substr(arrow + 4);
        command = command.substr(0, command.find(' '));
        if (command.size() == verb.size() &&
            std::equal(command.begin(), command.end(), verb.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) ==
                       std::toupper(static_cast<unsigned char>(b));
            })) {
            ++count;
        }
    }
    return count;
}

}  // namespace orvane::testing
