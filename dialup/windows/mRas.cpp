// mRas: enumerating active connections into a one-based table, and dialling an entry.
#include "dialup/windows/mRas.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "runtime/CutAtNul.h"
#include "runtime/RuntimeError.h"

namespace orvane::mRas {

namespace {

// The summed widths of the service's record fields, before rounding to the record size.
constexpr int32_t kConnectionFieldBytes = 411;
constexpr int32_t kProjectionFieldBytes = 40;
constexpr uint32_t kScratchBytes = kMaxConnections * sizeof(dialup::RASCONN);
static_assert(kScratchBytes == 105472);

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return CutAtNul(std::string_view(field, N));
}

void CopyRecord(const dialup::RASCONN& record, ConnectionInfo& entry) {
    entry.dwSize = record.dwSize;
    entry.hrasconn = record.hrasconn;
    std::memcpy(entry.szDeviceName, record.szDeviceName, sizeof entry.szDeviceName);
    std::memcpy(entry.szDeviceType, record.szDeviceType, sizeof entry.szDeviceType);
    std::memcpy(entry.szEntryName, record.szEntryName, sizeof entry.szEntryName);
    entry.EntryName = FieldText(entry.szEntryName);
}

}  // namespace

ConnectionTable::ConnectionTable() { Recreate(0); }

void ConnectionTable::Recreate(int32_t count) {
    entries_.clear();
    if (count > 0) {
        lowerBound_ = 1;
        entries_.resize(static_cast<size_t>(count));
    } else {
        lowerBound_ = 0;
        entries_.resize(1);
    }
}

int32_t ConnectionTable::UpperBound() const {
    return lowerBound_ + static_cast<int32_t>(entries_.size()) - 1;
}

size_t ConnectionTable::Offset(int32_t index) const {
    if (index < lowerBound_ || index > UpperBound()) {
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange, "connection " + std::to_string(index));
    }
    return static_cast<size_t>(index - lowerBound_);
}

ConnectionInfo& ConnectionTable::At(int32_t index) { return entries_[Offset(index)]; }

const ConnectionInfo& ConnectionTable::At(int32_t index) const { return entries_[Offset(index)]; }

int32_t RoundUpTo4(int32_t n) {
    const int64_t wide = n;
    const int64_t rounded = wide % 4 == 0 ? wide : (wide / 4 + 1) * 4;
    if (rounded > INT32_MAX || rounded < INT32_MIN) throw RuntimeError(ErrorNumber::Overflow);
    return static_cast<int32_t>(rounded);
}

int32_t EnumerateConnections(dialup::RemoteAccess& service, ConnectionTable& table) {
    // One projection record serves the whole call: a connection whose query fails keeps
    // whatever address an earlier connection of this call left in it.
    dialup::RASPPPIP projection{};
    projection.dwSize = static_cast<uint32_t>(RoundUpTo4(kProjectionFieldBytes));
    std::vector<dialup::RASCONN> scratch(kMaxConnections);
    scratch[0].dwSize = static_cast<uint32_t>(RoundUpTo4(kConnectionFieldBytes));
    uint32_t bufferSize = kScratchBytes;
    uint32_t reported = 0;

    // The return code is not looked at: the count the service left is the answer.
    service.RasEnumConnectionsA(scratch.data(), &bufferSize, &reported);
    const int32_t count =
        static_cast<int32_t>(std::min<uint32_t>(reported, static_cast<uint32_t>(kMaxConnections)));

    table.Recreate(count);
    for (int32_t n = 1; n <= count; ++n) {
        const dialup::RASCONN& record = scratch[static_cast<size_t>(n - 1)];
        ConnectionInfo& entry = table.At(n);
        CopyRecord(record, entry);
        uint32_t size = sizeof projection;
        service.RasGetProjectionInfoA(record.hrasconn, dialup::RASP_PppIp, &projection, &size);
        entry.Address = FieldText(projection.szIpAddress);
    }
    return count;
}

int16_t DialDefault(dialup::RemoteAccess& service, const std::string& entry, uint32_t& connection,
                    dialup::WindowHandle parent) {
    const std::string entryCopy = entry;
    service.InternetDial(parent, entryCopy, dialup::INTERNET_AUTODIAL_FORCE_UNATTENDED,
                         &connection);
    // A dial is judged by whether a connection is up afterwards, not by the dialler's word.
    ConnectionTable connections;
    return EnumerateConnections(service, connections) > 0 ? -1 : 0;
}

}  // namespace orvane::mRas
