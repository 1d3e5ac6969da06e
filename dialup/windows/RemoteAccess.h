// The remote access service as the connection table sees it: list active dial-up connections in
// the 412-byte record form, read a connection's PPP IP projection, hang up, and dial an entry.
// Implemented over rasapi32 and wininet (RemoteAccessWindows.h); tests put a fake in its place.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::dialup {

using HRASCONN = uint32_t;
using WindowHandle = void*;

// One active connection in the system's 412-byte record form.
struct RASCONN {
    uint32_t dwSize;
    HRASCONN hrasconn;
    char szEntryName[257];
    char szDeviceType[17];
    char szDeviceName[129];
};
static_assert(sizeof(RASCONN) == 412, "RASCONN must keep its 412-byte form");

// A connection's PPP IP projection in the system's 40-byte record form.
struct RASPPPIP {
    uint32_t dwSize;
    uint32_t dwError;
    char szIpAddress[16];
    char szServerIpAddress[16];
};
static_assert(sizeof(RASPPPIP) == 40, "RASPPPIP must keep its 40-byte form");

inline constexpr uint32_t RASP_PppIp = 0x8021;
inline constexpr uint32_t INTERNET_AUTODIAL_FORCE_UNATTENDED = 2;

class RemoteAccess {
  public:
    virtual ~RemoteAccess() = default;

    // Writes one record per active connection into `records` (whose size in bytes is
    // *bufferSize and whose first dwSize names the record form) and their number into *count.
    // Returns 0 or a system error code.
    virtual uint32_t RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize,
                                         uint32_t* count) = 0;

    // Fills `projection` with the connection's PPP IP addresses. `protocol` is RASP_PppIp.
    virtual uint32_t RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol,
                                           RASPPPIP* projection, uint32_t* size) = 0;

    // Ends the connection. Returns 0 or a system error code.
    virtual uint32_t RasHangUpA(HRASCONN connection) = 0;

    // Dials `entry` without asking the user anything and returns when the attempt has ended;
    // *connection receives the dialler's identifier for the connection.
    virtual uint32_t InternetDial(WindowHandle parent, const std::string& entry, uint32_t flags,
                                  uint32_t* connection) = 0;
};

}  // namespace orvane::dialup
