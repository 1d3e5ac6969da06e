// NetworkManager's published reason numbers (NMActiveConnectionStateReason and
// NMDeviceStateReason), each with its name and a few words.
#include "dialup/linux/NetworkManagerReasons.h"

#include <iterator>

namespace orvane::dialup::networkmanager {

namespace {

struct Reason {
    uint32_t number;
    const char* name;
    const char* words;
};

constexpr Reason kActiveReasons[] = {
    {0, "unknown", "for a reason NetworkManager does not know"},
    {1, "none", "without a reason"},
    {2, "user-disconnected", "a user disconnected it"},
    {3, "device-disconnected", "its device was disconnected"},
    {4, "service-stopped", "the VPN service stopped"},
    {5, "ip-config-invalid", "its IP configuration was invalid"},
    {6, "connect-timeout", "connecting timed out"},
    {7, "service-start-timeout", "the VPN service took too long to start"},
    {8, "service-start-failed", "the VPN service could not start"},
    {9, "no-secrets", "the password or other secrets were not given"},
    {10, "login-failed", "the login was refused"},
    {11, "connection-removed", "the connection was deleted"},
    {12, "dependency-failed", "a connection it depends on failed"},
    {13, "device-realize-failed", "its software device could not be made"},
    {14, "device-removed", "its device disappeared"},
};

constexpr Reason kDeviceReasons[] = {
    {0, "none", "without a reason"},
    {1, "unknown", "for a reason NetworkManager does not know"},
    {2, "now-managed", "the device is now managed"},
    {3, "now-unmanaged", "the device is no longer managed"},
    {4, "config-failed", "the device could not be readied"},
    {5, "ip-config-unavailable", "no IP configuration could be had"},
    {6, "ip-config-expired", "the IP configuration expired"},
    {7, "no-secrets", "the password or other secrets were not given"},
    {8, "supplicant-disconnect", "the 802.1X supplicant disconnected"},
    {9, "supplicant-config-failed", "the 802.1X supplicant could not be configured"},
    {10, "supplicant-failed", "the 802.1X supplicant failed"},
    {11, "supplicant-timeout", "the 802.1X supplicant took too long"},
    {12, "ppp-start-failed", "the PPP service could not start"},
    {13, "ppp-disconnect", "the PPP service disconnected"},
    {14, "ppp-failed", "the PPP service failed"},
    {15, "dhcp-start-failed", "the DHCP client could not start"},
    {16, "dhcp-error", "the DHCP client reported an error"},
    {17, "dhcp-failed", "the DHCP client failed"},
    {18, "shared-start-failed", "the shared connection service could not start"},
    {19, "shared-failed", "the shared connection service failed"},
    {20, "autoip-start-failed", "the AutoIP service could not start"},
    {21, "autoip-error", "the AutoIP service reported an error"},
    {22, "autoip-failed", "the AutoIP service failed"},
    {23, "modem-busy", "the line was busy"},
    {24, "modem-no-dial-tone", "there was no dial tone"},
    {25, "modem-no-carrier", "no carrier could be established"},
    {26, "modem-dial-timeout", "the dial timed out"},
    {27, "modem-dial-failed", "the dial failed"},
    {28, "modem-init-failed", "the modem could not be initialised"},
    {29, "gsm-apn-failed", "the mobile network's APN could not be selected"},
    {30, "gsm-registration-not-searching", "the modem is not searching for networks"},
    {31, "gsm-registration-denied", "the mobile network refused the registration"},
    {32, "gsm-registration-timeout", "registering with the mobile network timed out"},
    {33, "gsm-registration-failed", "registering with the mobile network failed"},
    {34, "gsm-pin-check-failed", "the SIM's PIN check failed"},
    {35, "firmware-missing", "the device's firmware is missing"},
    {36, "removed", "the device was removed"},
    {37, "sleeping", "NetworkManager went to sleep"},
    {38, "connection-removed", "the connection was deleted"},
    {39, "user-requested", "a user or client asked for it"},
    {40, "carrier", "the carrier changed"},
    {41, "connection-assumed", "an existing connection was taken over"},
    {42, "supplicant-available", "the 802.1X supplicant became available"},
    {43, "modem-not-found", "the modem could not be found"},
    {44, "bt-failed", "the Bluetooth connection failed or timed out"},
    {45, "gsm-sim-not-inserted", "no SIM card is inserted"},
    {46, "gsm-sim-pin-required", "the SIM's PIN is needed"},
    {47, "gsm-sim-puk-required", "the SIM's PUK is needed"},
    {48, "gsm-sim-wrong", "the SIM card is the wrong one"},
    {49, "infiniband-mode", "the InfiniBand device does not support connected mode"},
    {50, "dependency-failed", "a connection it depends on failed"},
    {51, "br2684-failed", "the RFC 2684 Ethernet bridge over ADSL failed"},
    {52, "modem-manager-unavailable", "ModemManager is not running"},
    {53, "ssid-not-found", "the Wi-Fi network could not be found"},
    {54, "secondary-connection-failed", "a secondary connection failed"},
    {55, "dcb-fcoe-failed", "DCB or FCoE setup failed"},
    {56, "teamd-control-failed", "teamd control failed"},
    {57, "modem-failed", "the modem failed or is gone"},
    {58, "modem-available", "the modem became available"},
    {59, "sim-pin-incorrect", "the SIM's PIN was wrong"},
    {60, "new-activation", "a new activation was queued"},
    {61, "parent-changed", "the device's parent changed"},
    {62, "parent-managed-changed", "the management of the device's parent changed"},
    {63, "ovsdb-failed", "the Open vSwitch database could not be reached"},
    {64, "ip-address-duplicate", "another host has the same IP address"},
    {65, "ip-method-unsupported", "the IP method is not supported"},
    {66, "sriov-configuration-failed", "the SR-IOV parameters could not be set"},
    {67, "peer-not-found", "the Wi-Fi P2P peer could not be found"},
};

// Each row stands at its own number, so a table can be indexed by the number.
template <size_t N>
constexpr bool Numbered(const Reason (&table)[N]) {
    for (size_t n = 0; n < N; ++n) {
        if (table[n].number != n) return false;
    }
    return true;
}
static_assert(Numbered(kActiveReasons) && Numbered(kDeviceReasons));

template <size_t N>
std::string TextOf(const Reason (&table)[N], uint32_t reason) {
    if (reason >= std::size(table)) return "reason " + std::to_string(reason);
    return std::string(table[reason].words) + " (" + table[reason].name + ")";
}

}  // namespace

std::string ActiveReasonText(uint32_t reason) { return TextOf(kActiveReasons, reason); }

std::string DeviceReasonText(uint32_t reason) { return TextOf(kDeviceReasons, reason); }

}  // namespace orvane::dialup::networkmanager
