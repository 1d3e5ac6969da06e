// The password's sources: the first line of a redirected standard input, or /dev/tty without echo.
#include "orvane-config/Password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>

namespace orvane::config {

namespace {

// The terminal's settings while echo is off, so that a signal can put them back.
int gTerminal = -1;
termios gSaved{};

void RestoreAndReraise(int signalNumber) {
    tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

std::string WithoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> ReadLine(int fd) {
    std::string line;
    char c = 0;
    for (;;) {
        const ssize_t count = read(fd, &c, 1);
        if (count == 1) {
            if (c == '\n') return line;
            line += c;
        } else if (count == 0) {
            return line.empty() ? std::nullopt : std::optional(line);
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> ReadFromTerminal(std::string& problem) {
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = "no terminal to ask for the password on";
        return std::nullopt;
    }
    constexpr char prompt[] = "FTP password: ";
    (void)!write(fd, prompt, sizeof prompt - 1);
    termios quiet{};
    const bool canHide = tcgetattr(fd, &gSaved) == 0;
    if (canHide) {
        gTerminal = fd;
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            signal(signalNumber, RestoreAndReraise);
        quiet = gSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    auto line = ReadLine(fd);
    if (canHide) {
        tcsetattr(fd, TCSAFLUSH, &gSaved);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            signal(signalNumber, SIG_DFL);
        gTerminal = -1;
    }
    (void)!write(fd, "\n", 1);
    close(fd);
    if (!line) problem = "no password was typed";
    return line ? std::optional(WithoutLineEnd(*line)) : std::nullopt;
}

}  // namespace

std::optional<std::string> ReadPassword(std::string& problem) {
    if (isatty(STDIN_FILENO)) return ReadFromTerminal(problem);
    auto line = ReadLine(STDIN_FILENO);
    if (!line) {
        problem = "standard input holds no password line";
        return std::nullopt;
    }
    return WithoutLineEnd(*line);
}

}  // namespace orvane::config
