// The NetworkManager links over its D-Bus API. Every call has a time limit, waits in the program's
// event loop and ends soon once the program is closing; every value is checked for its D-Bus
// type before it is used, so an odd answer is a failed step.
#include "dialup/linux/NetworkManagerLinks.h"

#include <arpa/inet.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QMap>
#include <QString>
#include <algorithm>
#include <optional>

#include "dialup/linux/LinkList.h"
#include "dialup/linux/NetworkManagerReasons.h"
#include "dialup/linux/NetworkManagerSignals.h"
#include "runtime/Reporter.h"

namespace orvane::dialup {

namespace {

using networkmanager::StateSignals;
using Clock = std::chrono::steady_clock;
using SavedSettings = QMap<QString, QVariantMap>;

constexpr char kService[] = "org.freedesktop.NetworkManager";
constexpr char kManagerPath[] = "/org/freedesktop/NetworkManager";
constexpr char kManager[] = "org.freedesktop.NetworkManager";
constexpr char kSettingsPath[] = "/org/freedesktop/NetworkManager/Settings";
constexpr char kSettings[] = "org.freedesktop.NetworkManager.Settings";
constexpr char kSavedConnection[] = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr char kActive[] = "org.freedesktop.NetworkManager.Connection.Active";
constexpr char kDevice[] = "org.freedesktop.NetworkManager.Device";
constexpr char kIp4Config[] = "org.freedesktop.NetworkManager.IP4Config";
constexpr char kIp6Config[] = "org.freedesktop.NetworkManager.IP6Config";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kNetworkControl[] = "org.freedesktop.NetworkManager.network-control";

// Active connection states.
constexpr uint32_t kActivated = 2;
constexpr uint32_t kDeactivating = 3;
constexpr uint32_t kDeactivated = 4;

// The signals say how an activation goes; a read this often only confirms that it is still
// there, and that NetworkManager is.
constexpr std::chrono::milliseconds kConfirmInterval{2000};
// A call's answer wakes the event loop; the step only bounds how late the time limit is seen.
constexpr std::chrono::milliseconds kCallStep{50};
// How long a call may still take once the program is closing: enough for a responsive
// NetworkManager to answer (so the deactivation of what a dial asked for is confirmed), short
// enough for closing to stay prompt.
constexpr std::chrono::milliseconds kClosingGrace{150};

// Why a step failed, for whoever diagnoses the failed dial or hang-up.
void Report(const std::string& what) { orvane::Report(Priority::Error, "NetworkManager: " + what); }

std::string ErrorText(const QDBusMessage& reply) {
    return (reply.errorName() + ": " + reply.errorMessage()).toStdString();
}

bool Failed(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty();
}

std::optional<QString> AsString(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<QString>()) return {};
    return value.toString();
}

std::optional<uint32_t> AsUnsigned(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<uint>()) return {};
    return value.toUInt();
}

std::optional<QString> AsPath(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<QDBusObjectPath>()) return {};
    return value.value<QDBusObjectPath>().path();
}

// A container value, taken apart only when it has exactly the expected D-Bus signature.
template <class T>
std::optional<T> As(const QVariant& value, const char* signature) {
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return {};
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String(signature)) return {};
    return qdbus_cast<T>(argument);
}

std::vector<QString> AsPaths(const QVariant& value) {
    std::vector<QString> paths;
    for (const QDBusObjectPath& path :
         As<QList<QDBusObjectPath>>(value, "ao").value_or(QList<QDBusObjectPath>{})) {
        paths.push_back(path.path());
    }
    return paths;
}

// Dotted IPv4 text, or nothing for anything else.
std::optional<std::string> AsIPv4(const QVariant& value) {
    const auto text = AsString(value);
    if (!text) return {};
    const std::string address = text->toStdString();
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return {};
    return address;
}

// The connection kinds that are dial-up links: mobile broadband, PPPoE, ADSL and Bluetooth
// dial-up networking (a Bluetooth personal-area network is not).
bool IsDialUpKind(const QString& type, const SavedSettings& settings) {
    if (type == "bluetooth") return AsString(settings.value("bluetooth").value("type")) == "dun";
    return type == "gsm" || type == "cdma" || type == "pppoe" || type == "adsl";
}

class Bus {
  public:
    Bus(const QDBusConnection& bus, std::chrono::milliseconds limit, EventWait& wait)
        : bus_(bus), limit_(limit), wait_(wait) {}

    QDBusMessage Call(const QString& path, const char* interface, const char* method,
                      const QList<QVariant>& arguments = {}) const {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
        call.setArguments(arguments);
        return Await(call, bus_.asyncCall(call, static_cast<int>(limit_.count())));
    }

    std::optional<QVariantMap> Properties(const QString& path, const char* interface) const {
        const QDBusMessage reply = Call(path, kProperties, "GetAll", {QString(interface)});
        if (Failed(reply)) return {};
        return As<QVariantMap>(reply.arguments().first(), "a{sv}");
    }

    // One property's value; on failure nothing, and `error` says why.
    std::optional<QVariant> Property(const QString& path, const char* interface, const char* name,
                                     std::string* error = nullptr) const {
        const QDBusMessage reply =
            Call(path, kProperties, "Get", {QString(interface), QString(name)});
        if (Failed(reply)) {
            if (error) *error = ErrorText(reply);
            return {};
        }
        return reply.arguments().first().value<QDBusVariant>().variant();
    }

    std::optional<SavedSettings> SettingsOf(const QString& savedPath) const {
        const QDBusMessage reply = Call(savedPath, kSavedConnection, "GetSettings");
        if (Failed(reply)) return {};
        return As<SavedSettings>(reply.arguments().first(), "a{sa{sv}}");
    }

  private:
    // The answer, waited for in the event loop; an error reply once the limit has passed or,
    // when the program is closing, the grace.
    QDBusMessage Await(const QDBusMessage& call, const QDBusPendingCall& pending) const {
        const QDBusPendingCallWatcher answer(pending);  // its arrival wakes the event loop
        auto deadline = Clock::now() + limit_;
        bool closing = false;
        while (!answer.isFinished()) {
            const auto now = Clock::now();
            if (!closing && wait_.StopRequested()) {
                closing = true;
                deadline = std::min(deadline, now + kClosingGrace);
            }
            if (now >= deadline) {
                return call.createErrorReply(
                    QDBusError::NoReply,
                    closing ? "not awaited, the program is closing"
                            : QString("no answer within %1 ms").arg(limit_.count()));
            }
            wait_.WaitForEvents(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::min<Clock::duration>(kCallStep, deadline - now)));
        }
        return answer.reply();
    }

    QDBusConnection bus_;
    std::chrono::milliseconds limit_;
    EventWait& wait_;
};

// The first IPv4 address of an IP4Config object.
std::optional<std::string> AddressOf(const Bus& bus, const QString& configPath) {
    const auto config = bus.Properties(configPath, kIp4Config);
    if (!config) return {};
    const auto addresses = As<QList<QVariantMap>>(config->value("AddressData"), "aa{sv}");
    if (!addresses || addresses->isEmpty()) return {};
    return AsIPv4(addresses->first().value("address"));
}

// The first global IPv6 address of the IP6Config object `configPath` names; empty when none.
std::string Address6Of(const Bus& bus, const QVariant& configPath) {
    const auto path = AsPath(configPath);
    const auto config = path ? bus.Properties(*path, kIp6Config) : std::nullopt;
    if (!config) return {};
    const auto addresses = As<QList<QVariantMap>>(config->value("AddressData"), "aa{sv}");
    for (const QVariantMap& entry : addresses.value_or(QList<QVariantMap>{})) {
        const auto text = AsString(entry.value("address"));
        if (const auto global = text ? linuxlink::GlobalIPv6(text->toStdString()) : std::nullopt) {
            return *global;
        }
    }
    return {};
}

std::string InterfaceOf(const Bus& bus, const QVariant& devices) {
    const std::vector<QString> paths = AsPaths(devices);
    if (paths.empty()) return {};
    for (const char* name : {"IpInterface", "Interface"}) {
        const auto value = bus.Property(paths.front(), kDevice, name);
        const auto text = value ? AsString(*value) : std::nullopt;
        if (text && !text->isEmpty()) return text->toStdString();
    }
    return {};
}

std::optional<DialUpLink> LinkOf(const Bus& bus, const QString& activePath) {
    const auto active = bus.Properties(activePath, kActive);
    if (!active) return {};
    const auto type = AsString(active->value("Type"));
    const auto id = AsString(active->value("Id"));
    if (!type || !id || AsUnsigned(active->value("State")) != kActivated) return {};
    if (*type == "bluetooth") {
        const auto saved = AsPath(active->value("Connection"));
        if (!saved || !IsDialUpKind(*type, bus.SettingsOf(*saved).value_or(SavedSettings{}))) {
            return {};
        }
    } else if (!IsDialUpKind(*type, {})) {
        return {};
    }
    const auto configPath = AsPath(active->value("Ip4Config"));
    const auto address = configPath ? AddressOf(bus, *configPath) : std::nullopt;
    if (!address) return {};
    return DialUpLink{activePath.toStdString(), id->toStdString(),
                      InterfaceOf(bus, active->value("Devices")), *address,
                      Address6Of(bus, active->value("Ip6Config"))};
}

// The saved connection named `entry`, which must be a dial-up kind; otherwise the reason is
// on standard error.
std::optional<QString> SavedConnectionNamed(const Bus& bus, const std::string& entry) {
    const QDBusMessage reply = bus.Call(kSettingsPath, kSettings, "ListConnections");
    if (Failed(reply)) {
        Report("cannot list the saved connections: " + ErrorText(reply));
        return {};
    }
    std::optional<QString> otherKind;
    for (const QString& path : AsPaths(reply.arguments().first())) {
        const auto settings = bus.SettingsOf(path);
        if (!settings) continue;
        const QVariantMap connection = settings->value("connection");
        const auto id = AsString(connection.value("id"));
        if (!id || id->toStdString() != entry) continue;
        const auto type = AsString(connection.value("type")).value_or("?");
        if (IsDialUpKind(type, *settings)) return path;
        otherKind = type;
    }
    if (otherKind) {
        Report("\"" + entry + "\" is a " + otherKind->toStdString() +
               " connection, not a dial-up one (mobile broadband, PPPoE, ADSL, Bluetooth DUN)");
    } else {
        Report("no saved connection is named \"" + entry +
               "\" (nmcli -f NAME,TYPE connection show lists them)");
    }
    return {};
}

bool MayBringLinksUp(const Bus& bus) {
    const QDBusMessage reply = bus.Call(kManagerPath, kManager, "GetPermissions");
    if (Failed(reply)) {
        Report("cannot ask for permissions: " + ErrorText(reply));
        return false;
    }
    const auto permissions = As<QMap<QString, QString>>(reply.arguments().first(), "a{ss}");
    if (permissions && permissions->value(kNetworkControl) == "no") {
        Report("this user may not bring network connections up (network-control: no)");
        return false;
    }
    return true;
}

bool Deactivate(const Bus& bus, const QString& activePath) {
    const QDBusMessage reply = bus.Call(kManagerPath, kManager, "DeactivateConnection",
                                        {QVariant::fromValue(QDBusObjectPath(activePath))});
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    Report("cannot deactivate the connection: " + ErrorText(reply));
    return false;
}

// NetworkManager's reason for a failed activation, in words: the device's own where the
// connection only says its device failed.
std::string FailureReason(const StateSignals& heard, const QString& activePath,
                          const std::vector<QString>& devices) {
    const auto change = heard.LastChange(activePath);
    if (!change) return "NetworkManager gave no reason";
    if (change->reason == networkmanager::kDeviceDisconnected) {
        for (const QString& device : devices) {
            if (const auto reason = heard.FailureReason(device)) {
                return networkmanager::DeviceReasonText(*reason);
            }
        }
    }
    return networkmanager::ActiveReasonText(change->reason);
}

// Follows the activation by NetworkManager's signals until it has ended: activated, failed,
// timed out or given up because the program is closing (both deactivate what was asked for).
// A read now and then notices an activation that went without a word, or NetworkManager gone:
// a failure with the last reason heard.
DialOutcome AwaitActivation(const Bus& bus, const StateSignals& heard, const QString& activePath,
                            const std::string& entry, EventWait& wait,
                            std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    auto nextRead = Clock::now();
    std::vector<QString> devices;
    std::optional<uint32_t> state;
    for (;;) {
        if (const auto change = heard.LastChange(activePath)) state = change->state;
        if (Clock::now() >= nextRead) {
            const auto active = bus.Properties(activePath, kActive);
            // Gone: NetworkManager drops an activation that failed.
            state = active ? AsUnsigned(active->value("State")) : kDeactivated;
            if (active && devices.empty()) devices = AsPaths(active->value("Devices"));
            nextRead = Clock::now() + kConfirmInterval;
        }
        // Checked after the read, so a read that closing cut short still deactivates.
        if (wait.StopRequested()) {
            Deactivate(bus, activePath);
            return DialOutcome::Failed;
        }
        if (state == kActivated) return DialOutcome::LinkUp;
        if (!state || *state >= kDeactivating) {
            Report("activating \"" + entry +
                   "\" failed: " + FailureReason(heard, activePath, devices));
            return DialOutcome::Failed;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            Report("\"" + entry + "\" did not come up in time");
            Deactivate(bus, activePath);
            return DialOutcome::Failed;
        }
        wait.WaitForEvents(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(nextRead, deadline) - now));
    }
}

}  // namespace

NetworkManagerLinks::NetworkManagerLinks(QDBusConnection bus, NetworkManagerOptions options)
    : bus_(std::move(bus)), options_(options) {}

std::vector<DialUpLink> NetworkManagerLinks::ActiveLinks(EventWait& wait) {
    const Bus bus(bus_, options_.callTimeLimit, wait);
    std::vector<DialUpLink> links;
    const auto active = bus.Property(kManagerPath, kManager, "ActiveConnections");
    for (const QString& path : active ? AsPaths(*active) : std::vector<QString>{}) {
        if (auto link = LinkOf(bus, path)) links.push_back(std::move(*link));
    }
    return links;
}

DialOutcome NetworkManagerLinks::Dial(const std::string& entry, EventWait& wait) {
    // No connection is named so (an empty setting, one cut short at a NUL): nothing to ask.
    if (entry.empty() || entry.find('\0') != std::string::npos) return DialOutcome::Failed;
    const Bus bus(bus_, options_.callTimeLimit, wait);
    const auto saved = SavedConnectionNamed(bus, entry);
    if (!saved || !MayBringLinksUp(bus)) return DialOutcome::Failed;
    // Listening before asking, so that no change of the activation goes unheard.
    const StateSignals heard(bus_);
    const QVariant none = QVariant::fromValue(QDBusObjectPath("/"));
    const QDBusMessage reply = bus.Call(kManagerPath, kManager, "ActivateConnection",
                                        {QVariant::fromValue(QDBusObjectPath(*saved)), none, none});
    const auto activePath = Failed(reply) ? std::nullopt : AsPath(reply.arguments().first());
    if (!activePath) {
        Report("cannot activate \"" + entry + "\": " + ErrorText(reply));
        return DialOutcome::Failed;
    }
    return AwaitActivation(bus, heard, *activePath, entry, wait, options_.dialTimeLimit);
}

bool NetworkManagerLinks::HangUp(const DialUpLink& link, EventWait& wait) {
    // Only an active connection's path names one; anything else is no link of NetworkManager's.
    const QDBusObjectPath path(QString::fromStdString(link.identifier));
    if (link.identifier.empty() || path.path().isEmpty()) return false;
    return Deactivate(Bus(bus_, options_.callTimeLimit, wait), path.path());
}

bool NetworkManagerPresent(const QDBusConnection& bus, std::chrono::milliseconds limit) {
    if (!bus.isConnected()) return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner");
    ask.setArguments({QString(kService)});
    const QDBusMessage reply = bus.call(ask, QDBus::Block, static_cast<int>(limit.count()));
    return !Failed(reply) && reply.arguments().first().toBool();
}

}  // namespace orvane::dialup
