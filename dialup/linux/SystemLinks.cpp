// The Linux remote access service: NetworkManager's connections while NetworkManager runs on
// the system bus, else pppd's links. Asked afresh for every enumeration and dial, since
// NetworkManager may start or stop while the program runs.
#include <QDBusConnection>
#include <memory>

#include "dialup/linux/LinuxRemoteAccess.h"
#include "dialup/linux/NetworkManagerLinks.h"
#include "dialup/linux/PppdLinks.h"

namespace orvane::dialup {

namespace {

constexpr char kConnectionName[] = "orvane-system-bus";
constexpr std::chrono::milliseconds kAskLimit{1000};

class SystemLinkChoice {
  public:
    LinkService& Choose() {
        const QDBusConnection bus = SystemBus();
        if (!NetworkManagerPresent(bus, kAskLimit)) return pppd_;
        if (!networkManager_) networkManager_ = std::make_unique<NetworkManagerLinks>(bus);
        return *networkManager_;
    }

  private:
    // The system bus, found as every D-Bus program finds it (DBUS_SYSTEM_BUS_ADDRESS first);
    // a connection that was lost is made anew.
    QDBusConnection SystemBus() {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName);
        if (bus.isConnected()) return bus;
        networkManager_.reset();
        QDBusConnection::disconnectFromBus(kConnectionName);
        return QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName);
    }

    PppdLinks pppd_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
};

}  // namespace

std::unique_ptr<RemoteAccess> MakeSystemRemoteAccess() {
    auto choice = std::make_shared<SystemLinkChoice>();
    return std::make_unique<LinuxRemoteAccess>(
        [choice]() -> LinkService& { return choice->Choose(); });
}

}  // namespace orvane::dialup
