// The Linux links: NetworkManager's connections while NetworkManager runs on the system bus,
// else pppd's links. Chosen afresh at every listing, since NetworkManager may start or stop
// while the program runs; a dial or a hang-up goes to the links that listed last. Changes are
// heard from NetworkManager's signals and from the kernel's announcements about pppd's links.
#include <QDBusConnection>
#include <QTimer>
#include <memory>
#include <optional>

#include "dialup/Links.h"
#include "dialup/linux/KernelLinkEvents.h"
#include "dialup/linux/NetworkManagerLinks.h"
#include "dialup/linux/NetworkManagerSignals.h"
#include "dialup/linux/PppdLinks.h"

namespace orvane::dialup {

namespace {

constexpr char kConnectionName[] = "orvane-system-bus";
constexpr std::chrono::milliseconds kAskLimit{1000};
// A replaced address is a removal and an addition, and NetworkManager announces a connection
// in several steps: the links are looked at once announcements have stopped for this long.
constexpr std::chrono::milliseconds kSettle{250};

// What would be published from a listing: the first link's addresses, when it has an IPv4 one.
std::optional<std::string> Published(const std::vector<DialUpLink>& links) {
    if (links.empty() || links.front().address.empty()) return std::nullopt;
    return links.front().identifier + " " + links.front().address + " " + links.front().address6;
}

class SystemLinks final : public Links {
  public:
    // What the program lists is what it publishes, so a change heard later is compared with it.
    std::vector<DialUpLink> ActiveLinks(EventWait& wait) override {
        std::vector<DialUpLink> links = Choose().ActiveLinks(wait);
        published_ = Published(links);
        return links;
    }
    DialOutcome Dial(const std::string& entry, EventWait& wait) override {
        return Chosen().Dial(entry, wait);
    }
    bool HangUp(const DialUpLink& link, EventWait& wait) override {
        return Chosen().HangUp(link, wait);
    }

    void WatchChanges(EventWait& wait, std::function<void()> changed) override {
        wait_ = &wait;
        changed_ = std::move(changed);
        published_ = Published(Choose().ActiveLinks(wait));
        settle_.setSingleShot(true);
        settle_.setInterval(kSettle);
        QObject::connect(&settle_, &QTimer::timeout, [this] { LookAgain(); });
        kernel_ = std::make_unique<linuxlink::KernelLinkEvents>([this](unsigned index) {
            if (index == 0 || IsPppdLink(index)) Settle();
        });
        ListenToNetworkManager();
    }

  private:
    // Once watching, NetworkManager's signals are heard for as long as it is the one in use,
    // also when it started after the program.
    void ListenToNetworkManager() {
        if (!changed_ || !networkManager_ || managerSignals_) return;
        managerSignals_ = std::make_unique<networkmanager::ChangeSignals>(
            QDBusConnection(kConnectionName), [this] { Settle(); });
    }

    // The first announcement of a burst starts the wait; later ones fall within it.
    void Settle() {
        if (!settle_.isActive()) settle_.start();
    }

    // The kernel speaks of every interface; only pppd's links (PPP devices, or interfaces a live
    // pppd owns) matter to it. NetworkManager's own are heard from NetworkManager.
    bool IsPppdLink(unsigned index) {
        for (const DialUpLink& link : pppd_.ActiveLinks(*wait_))
            if (link.identifier == std::to_string(index)) return true;
        return false;
    }

    // Calls back when what would be published now is something, and not what was last seen.
    void LookAgain() {
        if (wait_->StopRequested()) return;
        if (looking_) {  // heard during a listing: looked at once that one is done
            Settle();
            return;
        }
        looking_ = true;
        const std::optional<std::string> before = published_;
        ActiveLinks(*wait_);
        looking_ = false;
        if (published_ && published_ != before) changed_();
    }

    Links& Choose() {
        const QDBusConnection bus = SystemBus();
        if (!NetworkManagerPresent(bus, kAskLimit)) {
            chosen_ = &pppd_;
        } else {
            if (!networkManager_) networkManager_ = std::make_unique<NetworkManagerLinks>(bus);
            chosen_ = networkManager_.get();
            ListenToNetworkManager();
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
        managerSignals_.reset();
        QDBusConnection::disconnectFromBus(kConnectionName);
        return QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName);
    }

    PppdLinks pppd_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
    Links* chosen_ = nullptr;

    EventWait* wait_ = nullptr;
    std::function<void()> changed_;
    std::optional<std::string> published_;  // from the last listing
    QTimer settle_;
    bool looking_ = false;
    std::unique_ptr<linuxlink::KernelLinkEvents> kernel_;
    std::unique_ptr<networkmanager::ChangeSignals> managerSignals_;
};

}  // namespace

std::unique_ptr<Links> MakeSystemLinks(void*) { return std::make_unique<SystemLinks>(); }

}  // namespace orvane::dialup
