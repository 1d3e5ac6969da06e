// The Windows remote access service over rasapi32's entry points, which tests under Wine replace
// to stand for connections Wine cannot make. Include after dialup/windows/RemoteAccess.h.
#pragma once

#include <windows.h>
#include <ras.h>

#include <memory>

namespace orvane::dialup {

class RemoteAccess;

// The rasapi32 calls the service makes; the system's own unless a test says otherwise.
struct RasEntryPoints {
    DWORD(WINAPI* enumConnections)(LPRASCONNA records, LPDWORD bytes, LPDWORD count);
    DWORD(WINAPI* getProjectionInfo)
    (::HRASCONN connection, RASPROJECTION protocol, LPVOID record, LPDWORD size);
    DWORD(WINAPI* hangUp)(::HRASCONN connection);
};

// Lists only connections over dial-up devices (a modem, ISDN, PPPoE, a serial, parallel or
// infrared cable, X.25, ATM and the like; never a VPN) and hangs up only those.
std::unique_ptr<RemoteAccess> MakeWindowsRemoteAccess(const RasEntryPoints& ras);

}  // namespace orvane::dialup
