// The remote access service on Linux: point-to-point links are the connections, pppd dials
// and hangs up.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "dialup/RemoteAccess.h"

namespace orvane::dialup {

// Results of the Linux service beside 0, numbered as the remote access service numbers them.
// A dial returns pppd's own exit status instead (see linux/PppdDialer.h).
namespace linkerror {
inline constexpr uint32_t InvalidHandle = 6;            // no such link (any more)
inline constexpr uint32_t InvalidParameter = 87;        // a missing pointer, another protocol
inline constexpr uint32_t BufferTooSmall = 603;         // more links up than records fit
inline constexpr uint32_t CannotFindEntry = 623;        // an empty entry, or one holding NUL
inline constexpr uint32_t InvalidSize = 632;            // a record form other than the known one
inline constexpr uint32_t NotConnected = 668;           // no live pppd owns the link
inline constexpr uint32_t ProjectionNotComplete = 730;  // the link has no IPv4 address
}  // namespace linkerror

struct LinkServiceOptions {
    // Where pppd writes its pid files ("<interface>.pid", "ppp-<linkname>.pid").
    std::filesystem::path runDirectory = "/run";
    // The dialler: a program name looked up on PATH, or a path holding a slash.
    std::string pppdProgram = "pppd";
    // How long one dial may take before pppd is stopped.
    std::chrono::milliseconds dialTimeLimit = std::chrono::seconds(120);
};

class LinuxRemoteAccess final : public RemoteAccess {
  public:
    explicit LinuxRemoteAccess(LinkServiceOptions options = {});

    // Active links (up, point-to-point, IPv4), by interface index; at most as many records
    // as *bufferSize holds, *count saying how many were written.
    uint32_t RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize, uint32_t* count) override;
    // The link's local and peer IPv4 addresses; the record is untouched on any failure.
    uint32_t RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol, RASPPPIP* projection,
                                   uint32_t* size) override;
    // SIGTERM to the live pppd that owns the link; a link nobody owns is left alone.
    uint32_t RasHangUpA(HRASCONN connection) override;
    // Runs pppd for `entry` and waits for it; *connection gets the pppd daemon's process id.
    uint32_t InternetDial(WindowHandle parent, const std::string& entry, uint32_t flags,
                          uint32_t* connection) override;

  private:
    LinkServiceOptions options_;
};

}  // namespace orvane::dialup
