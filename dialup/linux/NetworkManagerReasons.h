// NetworkManager's reasons for an active connection's or a device's change of state, as the
// name NetworkManager gives each and a few words for whoever reads standard error.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::dialup::networkmanager {

// NetworkManager's active connection reason "device-disconnected": the device's own reason
// says more.
inline constexpr uint32_t kDeviceDisconnected = 3;

// "the PPP service failed (ppp-failed)"; a number NetworkManager has not published reads
// "reason N".
std::string ActiveReasonText(uint32_t reason);
std::string DeviceReasonText(uint32_t reason);

}  // namespace orvane::dialup::networkmanager
