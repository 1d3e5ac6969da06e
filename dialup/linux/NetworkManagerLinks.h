// The NetworkManager link service: its active dial-up connections (mobile broadband, PPPoE,
// ADSL, Bluetooth DUN), activating a saved one and deactivating one, over its D-Bus API.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <chrono>
#include <vector>

#include "dialup/linux/LinkService.h"

namespace orvane::dialup {

struct NetworkManagerOptions {
    // How long one activation may take before it is given up and deactivated.
    std::chrono::milliseconds dialTimeLimit = std::chrono::seconds(120);
    // How long one D-Bus call may hold up the program.
    std::chrono::milliseconds callTimeLimit = std::chrono::seconds(3);
};

class NetworkManagerLinks final : public LinkService {
  public:
    explicit NetworkManagerLinks(QDBusConnection bus, NetworkManagerOptions options = {});

    // The activated dial-up connections with an IPv4 address, in NetworkManager's order.
    std::vector<DialUpLink> ListLinks() override;
    // Activates the saved connection whose name is `entry` and waits for it to come up.
    uint32_t Dial(const std::string& entry, EventWait& wait, uint32_t& identifier) override;
    // Deactivates that active connection.
    uint32_t HangUp(uint32_t identifier) override;
    // Calls then wait in `wait`, and closing ends them; without one they block, within the limit.
    void SetEventWait(EventWait* wait) override { wait_ = wait; }

  private:
    uint32_t IdentifierOf(const QString& activePath);

    QDBusConnection bus_;
    NetworkManagerOptions options_;
    EventWait* wait_ = nullptr;
    std::vector<QString> activePaths_;  // identifier n is activePaths_[n - 1]
};

// Whether NetworkManager is running on this bus, asked within `limit`.
bool NetworkManagerPresent(const QDBusConnection& bus, std::chrono::milliseconds limit);

}  // namespace orvane::dialup
