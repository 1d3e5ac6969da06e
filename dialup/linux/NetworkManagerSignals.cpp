// Hearing NetworkManager's StateChanged signals of active connections and devices.
#include "dialup/linux/NetworkManagerSignals.h"

namespace orvane::dialup::networkmanager {

namespace {

constexpr char kService[] = "org.freedesktop.NetworkManager";
constexpr char kActive[] = "org.freedesktop.NetworkManager.Connection.Active";
constexpr char kDevice[] = "org.freedesktop.NetworkManager.Device";
constexpr char kStateChanged[] = "StateChanged";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kPropertiesChanged[] = "PropertiesChanged";
constexpr char kManagerPath[] = "/org/freedesktop/NetworkManager";

// A device's state once it has failed to activate.
constexpr uint kDeviceFailed = 120;

}  // namespace

// From any object path: the activation's path is known only once it has been asked for.
StateSignals::StateSignals(QDBusConnection bus) : bus_(std::move(bus)) {
    bus_.connect(kService, QString(), kActive, kStateChanged, this,
                 SLOT(ActiveStateChanged(uint, uint, QDBusMessage)));
    bus_.connect(kService, QString(), kDevice, kStateChanged, this,
                 SLOT(DeviceStateChanged(uint, uint, uint, QDBusMessage)));
}

StateSignals::~StateSignals() {
    bus_.disconnect(kService, QString(), kActive, kStateChanged, this,
                    SLOT(ActiveStateChanged(uint, uint, QDBusMessage)));
    bus_.disconnect(kService, QString(), kDevice, kStateChanged, this,
                    SLOT(DeviceStateChanged(uint, uint, uint, QDBusMessage)));
}

std::optional<StateSignals::Change> StateSignals::LastChange(const QString& activePath) const {
    const auto found = changes_.find(activePath);
    if (found == changes_.end()) return {};
    return *found;
}

std::optional<uint32_t> StateSignals::FailureReason(const QString& devicePath) const {
    const auto found = failures_.find(devicePath);
    if (found == failures_.end()) return {};
    return *found;
}

void StateSignals::ActiveStateChanged(uint state, uint reason, const QDBusMessage& message) {
    changes_[message.path()] = Change{state, reason};
}

void StateSignals::DeviceStateChanged(uint newState, uint, uint reason,
                                      const QDBusMessage& message) {
    if (newState == kDeviceFailed) failures_[message.path()] = reason;
}

ChangeSignals::ChangeSignals(QDBusConnection bus, std::function<void()> heard)
    : bus_(std::move(bus)), heard_(std::move(heard)) {
    bus_.connect(kService, QString(), kProperties, kPropertiesChanged, this,
                 SLOT(PropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    bus_.connect(kService, QString(), kActive, kStateChanged, this,
                 SLOT(ActiveStateChanged(uint, uint)));
}

ChangeSignals::~ChangeSignals() {
    bus_.disconnect(kService, QString(), kProperties, kPropertiesChanged, this,
                    SLOT(PropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    bus_.disconnect(kService, QString(), kActive, kStateChanged, this,
                    SLOT(ActiveStateChanged(uint, uint)));
}

void ChangeSignals::PropertiesChanged(const QString&, const QVariantMap& changed,
                                      const QStringList&, const QDBusMessage& message) {
    const QString path = message.path();
    const QString root = kManagerPath;
    const bool aboutConnections = path.startsWith(root + "/ActiveConnection/") ||
                                  path.startsWith(root + "/IP4Config/") ||
                                  path.startsWith(root + "/IP6Config/") ||
                                  (path == root && changed.contains("ActiveConnections"));
    if (aboutConnections) heard_();
}

void ChangeSignals::ActiveStateChanged(uint, uint) { heard_(); }

}  // namespace orvane::dialup::networkmanager
