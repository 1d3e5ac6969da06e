// The Linux links: NetworkManager's connections while NetworkManager runs on the system bus,
// else pppd's links. Chosen afresh at every listing, since NetworkManager may start or stop
// while the program runs; a dial or a hang-up goes to the links that listed last.
#include <QDBusConnection>
#include <memory>

#include "dialup/Links.h"
#include "dialup/linux/NetworkManagerLinks.h"
#include "dialup/linux/PppdLinks.h"

namespace orvane::dialup {

namespace {

constexpr char kConnectionName[] = "orvane-system-bus";
constexpr std::chrono::milliseconds kAskLimit{1000};

class SystemLinks final : public Links {
  public:
    std::vector<DialUpLink> ActiveLinks(EventWait& wait) override {
        return Choose().ActiveLinks(wait);
    }
    DialOutcome Dial(const std::string& entry, EventWait& wait) override {
        return Chosen().Dial(entry, wait);
    }
    bool HangUp(const DialUpLink& link, EventWait& wait) override {
        return Chosen().HangUp(link, wait);
    }

  private:
    Links& Choose() {
        const QDBusConnection bus = SystemBus();
        if (!NetworkManagerPresent(bus, kAskLimit)) {
            chosen_ = &pppd_;
        } else {
            if (!networkManager_) networkManager_ = std::make_unique<NetworkManagerLinks>(bus);
            chosen_ = networkManager_.get();
        }
        return *chosen_;
    }

    Links& Chosen() { return chosen_ ? *chosen_ : Choose(); }

    // The system bus, found as every D-Bus program finds it (DBUS_SYSTEM_BUS_ADDRESS first);
    // a connection that was lost is made anew.
    QDBusConnection SystemBus() {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName);
        if (bus.isConnected()) return bus;
        chosen_ = nullptr;
        networkManager_.reset();
        QDBusConnection::disconnectFromBus(kConnectionName);
        return QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName);
    }

    PppdLinks pppd_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
    Links* chosen_ = nullptr;
};

}  // namespace

std::unique_ptr<Links> MakeSystemLinks(void*) { return std::make_unique<SystemLinks>(); }

}  // namespace orvane::dialup
