// mRas: the table of active dial-up connections with their addresses, and dialling an entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialup/windows/RemoteAccess.h"

namespace orvane::mRas {

// One active dial-up connection: copies of the service's record fields, then its entry name
// and IPv4 address as text. A default-made entry is all zero and empty.
struct ConnectionInfo {
    uint32_t dwSize = 0;
    dialup::HRASCONN hrasconn = 0;
    char szEntryName[257] = {};
    char szDeviceType[17] = {};
    char szDeviceName[129] = {};
    std::string EntryName;
    std::string Address;
};

// A table of connections with a lower bound: entries 1 to count for `count` connections, or
// the single empty entry 0 when there are none (which is also how a new table starts).
class ConnectionTable {
  public:
    ConnectionTable();

    // Discards every entry and makes the table anew, every field zero or empty.
    void Recreate(int32_t count);

    // The entry numbered `index`; RuntimeError(SubscriptOutOfRange) outside the bounds.
    ConnectionInfo& At(int32_t index);
    const ConnectionInfo& At(int32_t index) const;

    int32_t LowerBound() const { return lowerBound_; }
    int32_t UpperBound() const;

  private:
    size_t Offset(int32_t index) const;

    int32_t lowerBound_ = 0;
    std::vector<ConnectionInfo> entries_;
};

// The most connections one enumeration takes in; more than that are left out.
inline constexpr int32_t kMaxConnections = 256;

// Fills `table` with the service's active connections in the service's order and returns
// their number (0 with the single empty entry 0 when none is up).
int32_t EnumerateConnections(dialup::RemoteAccess& service, ConnectionTable& table);

// The record size the service expects for fields adding up to n bytes: n rounded up to a
// multiple of 4. A result beyond the signed 32-bit range is RuntimeError(Overflow).
int32_t RoundUpTo4(int32_t n);

// Dials `entry` without asking the user anything, then looks at the connections: -1 (true)
// when at least one is active afterwards, 0 (false) otherwise. What the dialler itself
// reported does not count. `connection` receives the dialler's identifier.
int16_t DialDefault(dialup::RemoteAccess& service, const std::string& entry, uint32_t& connection,
                    dialup::WindowHandle parent);

}  // namespace orvane::mRas
