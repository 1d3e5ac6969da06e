// The Windows links over stand-ins for rasapi32's calls (Wine makes no connections): which
// connections count as the dial-up connection, and which are hung up.
#include <gtest/gtest.h>
#include <raserror.h>

#include <cstring>
#include <vector>

#include "dialup/windows/RasLinks.h"
#include "dialup/windows/RemoteAccessWindows.h"
#include "support/SleepingWait.h"

namespace orvane::dialup {
namespace {

// The connections the stand-in service has up, in its order, and the handles it was asked to
// hang up.
struct UpConnection {
    const char* entry;
    const char* deviceType;
    const char* address;
    uintptr_t handle;
};
std::vector<UpConnection> up;
std::vector<uintptr_t> hungUp;

// The service's record in the oldest ANSI form, the one the program asks for.
#pragma pack(push, 4)
struct OldRasConn {
    DWORD dwSize;
    ::HRASCONN hrasconn;
    CHAR szEntryName[257];
    CHAR szDeviceType[17];
    CHAR szDeviceName[129];
};
#pragma pack(pop)

DWORD WINAPI ListUp(LPRASCONNA records, LPDWORD bytes, LPDWORD count) {
    auto* out = reinterpret_cast<OldRasConn*>(records);
    if (out[0].dwSize != sizeof(OldRasConn)) return ERROR_INVALID_SIZE;
    if (*bytes < up.size() * sizeof(OldRasConn)) return ERROR_BUFFER_TOO_SMALL;
    for (std::size_t n = 0; n < up.size(); ++n) {
        out[n] = OldRasConn{
            sizeof(OldRasConn), reinterpret_cast<::HRASCONN>(up[n].handle), {}, {}, "stand-in"};
        std::strcpy(out[n].szEntryName, up[n].entry);
        std::strcpy(out[n].szDeviceType, up[n].deviceType);
    }
    *count = static_cast<DWORD>(up.size());
    return 0;
}

DWORD WINAPI Project(::HRASCONN connection, RASPROJECTION, LPVOID record, LPDWORD) {
    for (const UpConnection& c : up)
        if (reinterpret_cast<::HRASCONN>(c.handle) == connection)
            std::strcpy(static_cast<RASPPPIPA*>(record)->szIpAddress, c.address);
    return 0;
}

DWORD WINAPI HangUp(::HRASCONN connection) {
    hungUp.push_back(reinterpret_cast<uintptr_t>(connection));
    return 0;
}

// RasEnumConnections lists VPNs too, here first: only dial-up devices count, and only the
// connection listed (the one published) is ever hung up.
TEST(WindowsRemoteAccess, OnlyDialUpDevicesCountAndOnlyTheListedOneIsHungUp) {
    const std::pair<const char*, bool> cases[] = {
        {"modem", true},    {"isdn", true}, {"PPPoE", true},   {"SERIAL", true},
        {"PARALLEL", true}, {"IRDA", true}, {"x25", true},     {"ATM", true},
        {"vpn", false},     {"VPN", false}, {"GENERIC", false}};
    for (const auto& [deviceType, counts] : cases) {
        up = {{"Ufficio VPN", "vpn", "10.8.0.6", 0x11}, {"Casa", deviceType, "203.0.113.45", 0x22}};
        hungUp.clear();
        RasLinks links(MakeWindowsRemoteAccess({ListUp, Project, HangUp}), nullptr);
        testing::SleepingWait wait;
        const std::vector<DialUpLink> listed = links.ActiveLinks(wait);
        ASSERT_EQ(listed.size(), counts ? 1u : 0u) << deviceType;
        if (counts) {
            EXPECT_EQ(listed[0].entryName + " " + listed[0].address + " " + listed[0].device,
                      "Casa 203.0.113.45 stand-in");
            EXPECT_TRUE(links.HangUp(listed[0], wait));
        }
        EXPECT_FALSE(links.HangUp(DialUpLink{"17", "Ufficio VPN", "stand-in", ""}, wait))
            << "the VPN's handle";
        EXPECT_EQ(hungUp, counts ? std::vector<uintptr_t>{0x22} : std::vector<uintptr_t>{})
            << deviceType;
    }
}

}  // namespace
}  // namespace orvane::dialup
