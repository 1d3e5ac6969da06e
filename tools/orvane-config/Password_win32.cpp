// The password's sources on Windows: the first line of a redirected standard input, or the
// console with its echo switched off.
#include "orvane-config/Password.h"

#include <windows.h>

namespace orvane::config {

namespace {

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

// One line of bytes from a file or pipe; nothing at its end without a line.
std::optional<std::string> ReadLine(HANDLE input) {
    std::string line;
    char c = 0;
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(input, &c, 1, &count, nullptr) || count == 0)
            return line.empty() ? std::nullopt : std::optional(line);
        if (c == '\n') return line;
        line += c;
    }
}

std::optional<std::string> ReadFromConsole(HANDLE console, DWORD mode, std::string& problem) {
    HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
    constexpr char prompt[] = "FTP password: ";
    DWORD written = 0;
    WriteFile(output, prompt, sizeof prompt - 1, &written, nullptr);
    // Line input without echo: the console still edits the line, but shows nothing typed.
    SetConsoleMode(console, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    // Read as UTF-16 and stored in the ANSI code page, as the program's other values are:
    // the console's own code page (the OEM one) would give other bytes for accented letters.
    wchar_t buffer[1024];
    DWORD count = 0;
    const BOOL read = ReadConsoleW(console, buffer, 1024, &count, nullptr);
    SetConsoleMode(console, mode);
    WriteFile(output, "\r\n", 2, &written, nullptr);
    const int size = read ? static_cast<int>(count) : 0;
    std::string line(static_cast<std::size_t>(size) * 2, '\0');
    line.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_ACP, 0, buffer, size, line.data(), static_cast<int>(line.size()), nullptr, nullptr)));
    if (line.empty()) {
        problem = "no password was typed";
        return std::nullopt;
    }
    return WithoutLineEnd(line);
}

}  // namespace

std::optional<std::string> ReadPassword(std::string& problem) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != INVALID_HANDLE_VALUE && input != nullptr && GetConsoleMode(input, &mode))
        return ReadFromConsole(input, mode, problem);
    auto line = input == nullptr ? std::nullopt : ReadLine(input);
    if (!line) {
        problem = "standard input holds no password line";
        return std::nullopt;
    }
    return WithoutLineEnd(*line);
}

}  // namespace orvane::config
