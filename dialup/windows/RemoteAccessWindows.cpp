// The Windows remote access service: rasapi32 lists, projects and hangs up connections (dial-up
// devices only: a VPN is not the dial-up connection); the wininet dialler dials an entry. The
// system's links are the connection table over this service.
// The program's own names first: the system headers define some of them as macros.
#include "dialup/windows/RemoteAccess.h"

#include <windows.h>
#include <ras.h>
#include <raserror.h>
#include <wininet.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

// The system's "A or W" names would replace the program's record and method names.
#undef RASCONN
#undef RASPPPIP
#undef InternetDial

#include "dialup/windows/RasLinks.h"
#include "dialup/windows/RemoteAccessWindows.h"

namespace orvane::dialup {

namespace {

// The system's record in its oldest ANSI form: the fields of the program's 412-byte record,
// with the system's handle type. On 32-bit Windows it is that very record; 64-bit handles
// make it wider there, and the service then expects this wider size. The system's records are
// packed to 4 bytes.
#pragma pack(push, 4)
struct SystemRasConn {
    DWORD dwSize;
    ::HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
#pragma pack(pop)
static_assert(offsetof(SystemRasConn, szDeviceName) == offsetof(RASCONNA, szDeviceName));
static_assert(sizeof(::HRASCONN) != 4 || sizeof(SystemRasConn) == sizeof(RASCONN),
              "on 32-bit Windows the system's record is the program's 412-byte record");

// The service's projection record in its 40-byte form is the program's own.
static_assert(offsetof(RASPPPIPA, szIpAddress) == offsetof(RASPPPIP, szIpAddress));
static_assert(offsetof(RASPPPIPA, szServerIpAddress) == offsetof(RASPPPIP, szServerIpAddress));

// Whether a device type (szDeviceType) is a dial-up device.
bool IsDialUpDevice(std::string_view deviceType) {
    // The service's RASDT_ names, compared as it writes them in any case.
    static constexpr std::string_view kDialUpTypes[] = {
        "modem", "isdn",  "x25",  "pad",  "serial", "framerelay",
        "atm",   "sonet", "sw56", "irda", "pppoe",  "parallel"};
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::string_view type : kDialUpTypes)
        if (std::equal(deviceType.begin(), deviceType.end(), type.begin(), type.end(),
                       [&](char a, char b) { return lower(a) == b; }))
            return true;
    return false;
}

// A fixed-width text field up to its first NUL, or whole when it has none.
template <std::size_t N>
std::string_view FieldText(const CHAR (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

class WindowsRemoteAccess final : public RemoteAccess {
  public:
    explicit WindowsRemoteAccess(const RasEntryPoints& ras) : ras_(ras) {}

    // Only connections over dial-up devices are listed, in the service's order.
    uint32_t RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize, uint32_t* count) override {
        const std::size_t capacity = records[0].dwSize == 0 ? 0 : *bufferSize / records[0].dwSize;
        std::vector<SystemRasConn> system(capacity == 0 ? 1 : capacity);
        system[0].dwSize = sizeof(SystemRasConn);
        DWORD bytes = static_cast<DWORD>(capacity * sizeof(SystemRasConn));
        DWORD found = 0;
        const DWORD result =
            ras_.enumConnections(reinterpret_cast<LPRASCONNA>(system.data()), &bytes, &found);
        if (result != 0 && result != ERROR_BUFFER_TOO_SMALL) found = 0;
        if (found > capacity) found = static_cast<DWORD>(capacity);
        handles_.clear();
        uint32_t listed = 0;
        for (DWORD n = 0; n < found; ++n)
            if (IsDialUpDevice(FieldText(system[n].szDeviceType)))
                Translate(system[n], records[listed++]);
        *count = listed;
        *bufferSize = static_cast<uint32_t>(listed * sizeof(RASCONN));
        return result;
    }

    uint32_t RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol, RASPPPIP* projection,
                                   uint32_t* size) override {
        const auto handle = handles_.find(connection);
        if (handle == handles_.end()) return ERROR_INVALID_HANDLE;
        DWORD bytes = *size;
        const DWORD result = ras_.getProjectionInfo(
            handle->second, static_cast<RASPROJECTION>(protocol), projection, &bytes);
        *size = bytes;
        return result;
    }

    // Only a connection of the last list can be hung up: never a VPN, nor one the program
    // did not see.
    uint32_t RasHangUpA(HRASCONN connection) override {
        const auto handle = handles_.find(connection);
        if (handle == handles_.end()) return ERROR_INVALID_HANDLE;
        return ras_.hangUp(handle->second);
    }

    uint32_t InternetDial(WindowHandle parent, const std::string& entry, uint32_t flags,
                          uint32_t* connection) override {
        std::vector<char> name(entry.begin(), entry.end());
        name.push_back('\0');
        DWORD_PTR identifier = 0;
        const DWORD result =
            ::InternetDialA(static_cast<HWND>(parent), name.data(), flags, &identifier, 0);
        *connection = static_cast<uint32_t>(identifier);
        return result;
    }

  private:
    // The program's record: the same fields, the handle as the 32-bit value it keeps.
    void Translate(const SystemRasConn& system, RASCONN& record) {
        std::memset(&record, 0, sizeof record);
        record.dwSize = sizeof(RASCONN);
        record.hrasconn = ProgramHandle(system.hrasconn);
        std::memcpy(record.szEntryName, system.szEntryName, sizeof record.szEntryName);
        std::memcpy(record.szDeviceType, system.szDeviceType, sizeof record.szDeviceType);
        std::memcpy(record.szDeviceName, system.szDeviceName, sizeof record.szDeviceName);
    }

    // On 32-bit Windows the handle is the value itself; a 64-bit handle is remembered from the
    // last enumeration under its low 32 bits.
    HRASCONN ProgramHandle(::HRASCONN handle) {
        const auto value = static_cast<HRASCONN>(reinterpret_cast<uintptr_t>(handle));
        handles_.emplace(value, handle);
        return value;
    }

    RasEntryPoints ras_;
    // The dial-up connections of the last enumeration, by the handle the program keeps.
    std::map<HRASCONN, ::HRASCONN> handles_;
};

}  // namespace

std::unique_ptr<RemoteAccess> MakeWindowsRemoteAccess(const RasEntryPoints& ras) {
    return std::make_unique<WindowsRemoteAccess>(ras);
}

std::unique_ptr<Links> MakeSystemLinks(void* parentWindow) {
    return std::make_unique<RasLinks>(
        MakeWindowsRemoteAccess({::RasEnumConnectionsA, ::RasGetProjectionInfoA, ::RasHangUpA}),
        parentWindow);
}

}  // namespace orvane::dialup
