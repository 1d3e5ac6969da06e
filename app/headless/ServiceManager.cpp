// The service manager's notify protocol spoken directly: datagrams on a Unix socket whose
// path comes in NOTIFY_SOCKET ("@" standing for the abstract namespace).
#include "headless/ServiceManager.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace orvane {

namespace {

std::string TakeVariable(const char* name) {
    const char* value = std::getenv(name);
    std::string text = value ? value : "";
    ::unsetenv(name);
    return text;
}

std::optional<unsigned long long> Number(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0) return std::nullopt;
    return value;
}

// Half the manager's interval, the interval taken as at least a second (one of a microsecond
// would have the pings take the processor) and the period as at most an hour (what a timer
// holds, and often enough for any interval longer than that).
std::chrono::milliseconds WatchdogPeriodFor(unsigned long long microseconds) {
    constexpr unsigned long long shortest = 1'000'000, longestPeriod = 3'600'000;
    return std::chrono::milliseconds(
        std::min(std::max(microseconds, shortest) / 2000, longestPeriod));
}

}  // namespace

ServiceManager ServiceManager::FromEnvironment() {
    ServiceManager manager;
    manager.socketPath_ = TakeVariable("NOTIFY_SOCKET");
    const auto microseconds = Number(TakeVariable("WATCHDOG_USEC"));
    const auto pid = TakeVariable("WATCHDOG_PID");
    const bool forUs = pid.empty() || Number(pid) == static_cast<unsigned long long>(::getpid());
    if (microseconds && *microseconds > 0 && forUs)
        manager.watchdogPeriod_ = WatchdogPeriodFor(*microseconds);
    return manager;
}

void ServiceManager::Notify(std::string_view message) const {
    sockaddr_un address{};
    if (socketPath_.size() < 2 || socketPath_.size() >= sizeof address.sun_path) return;
    if (socketPath_[0] != '/' && socketPath_[0] != '@') return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath_.size());
    if (socketPath_[0] == '@') address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t sent = ::sendto(fd, message.data(), message.size(), MSG_NOSIGNAL,
                                                   reinterpret_cast<sockaddr*>(&address), length);
    ::close(fd);
}

}  // namespace orvane
