// The NetworkManager links: its active dial-up connections (mobile broadband, PPPoE, ADSL,
// Bluetooth DUN), activating a saved one and deactivating one, over its D-Bus API.
#pragma once

#include <QDBusConnection>
#include <chrono>
#include <vector>

#include "dialup/Links.h"

namespace orvane::dialup {

struct NetworkManagerOptions {
    // How long one activation may take before it is given up and deactivated.
    std::chrono::milliseconds dialTimeLimit = std::chrono::seconds(120);
    // How long one D-Bus call may hold up the program.
    std::chrono::milliseconds callTimeLimit = std::chrono::seconds(3);
};

// Every call waits in the given event loop within its time limit, and ends soon once the
// program is closing.
class NetworkManagerLinks final : public Links {
  public:
    explicit NetworkManagerLinks(QDBusConnection bus, NetworkManagerOptions options = {});

    // The activated dial-up connections with an IPv4 address, in NetworkManager's order, each
    // identified by its active connection's object path.
    std::vector<DialUpLink> ActiveLinks(EventWait& wait) override;
    // Activates the saved connection whose name is `entry` and waits for it to come up; why it
    // did not goes to standard error.
    DialOutcome Dial(const std::string& entry, EventWait& wait) override;
    // Deactivates that active connection.
    bool HangUp(const DialUpLink& link, EventWait& wait) override;

  private:
    QDBusConnection bus_;
    NetworkManagerOptions options_;
};

// Whether NetworkManager is running on this bus, asked within `limit`.
bool NetworkManagerPresent(const QDBusConnection& bus, std::chrono::milliseconds limit);

}  // namespace orvane::dialup
