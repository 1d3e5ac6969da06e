// What a service manager hands a service in its environment: the notify socket and the watchdog
// interval. (Whether standard error goes to the journal is the reporter's to know.)
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class ServiceManager {
  public:
    // Takes NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID out of the environment, so that the
    // programs Orvane starts (pppd) do not speak for it.
    static ServiceManager FromEnvironment();

    // Sends one notify datagram ("READY=1", "STATUS=...") when a socket was given; failures
    // are ignored, since the service runs on without its manager.
    void Notify(std::string_view message) const;
    // How often to send WATCHDOG=1 when the manager watches this process: half its interval,
    // within half a second and an hour.
    std::optional<std::chrono::milliseconds> WatchdogPeriod() const { return watchdogPeriod_; }

  private:
    std::string socketPath_;
    std::optional<std::chrono::milliseconds> watchdogPeriod_;
};

}  // namespace orvane
