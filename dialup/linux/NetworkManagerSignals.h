// What NetworkManager announces of activations as they go: the state changes of its active
// connections and the failures of its devices, heard from its D-Bus signals.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvane::dialup::networkmanager {

// Listens from construction to destruction, so a change between asking for an activation and
// looking at it is not missed. Signals arrive through the event loop.
class StateSignals final : public QObject {
    Q_OBJECT

  public:
    struct Change {
        uint32_t state = 0;
        uint32_t reason = 0;
    };

    explicit StateSignals(QDBusConnection bus);
    ~StateSignals() override;
    StateSignals(const StateSignals&) = delete;
    StateSignals& operator=(const StateSignals&) = delete;

    // The last change the active connection at `activePath` announced.
    std::optional<Change> LastChange(const QString& activePath) const;
    // The reason the device at `devicePath` gave when it last failed.
    std::optional<uint32_t> FailureReason(const QString& devicePath) const;

  private slots:
    void ActiveStateChanged(uint state, uint reason, const QDBusMessage& message);
    void DeviceStateChanged(uint newState, uint oldState, uint reason, const QDBusMessage& message);

  private:
    QDBusConnection bus_;
    QMap<QString, Change> changes_;
    QMap<QString, uint32_t> failures_;
};

// What NetworkManager announces that may change which dial-up connection is up or its address:
// the list of active connections, their states and their IPv4 and IPv6 configurations. The
// announcements of its other objects (devices, access points) are let go.
class ChangeSignals final : public QObject {
    Q_OBJECT

  public:
    ChangeSignals(QDBusConnection bus, std::function<void()> heard);
    ~ChangeSignals() override;
    ChangeSignals(const ChangeSignals&) = delete;
    ChangeSignals& operator=(const ChangeSignals&) = delete;

  private slots:
    void PropertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated, const QDBusMessage& message);
    void ActiveStateChanged(uint state, uint reason);

  private:
    QDBusConnection bus_;
    std::function<void()> heard_;
};

}  // namespace orvane::dialup::networkmanager
