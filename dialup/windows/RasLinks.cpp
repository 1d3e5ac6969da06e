// The Windows links over the active connection table and DialDefault.
#include "dialup/windows/RasLinks.h"

#include <charconv>
#include <string_view>

#include "dialup/windows/mRas.h"
#include "runtime/CutAtNul.h"

namespace orvane::dialup {

RasLinks::RasLinks(std::unique_ptr<RemoteAccess> service, WindowHandle parent)
    : service_(std::move(service)), parent_(parent) {}

std::vector<DialUpLink> RasLinks::ActiveLinks(EventWait&) {
    mRas::ConnectionTable table;
    const int32_t count = mRas::EnumerateConnections(*service_, table);
    std::vector<DialUpLink> links;
    for (int32_t n = 1; n <= count; ++n) {
        const mRas::ConnectionInfo& entry = table.At(n);
        const std::string_view device(entry.szDeviceName, sizeof entry.szDeviceName);
        links.push_back(DialUpLink{std::to_string(entry.hrasconn), entry.EntryName,
                                   CutAtNul(device), entry.Address});
    }
    return links;
}

DialOutcome RasLinks::Dial(const std::string& entry, EventWait&) {
    uint32_t connection = 0;  // the dialler's identifier; the connection's handle is listed
    return mRas::DialDefault(*service_, entry, connection, parent_) != 0 ? DialOutcome::LinkUp
                                                                         : DialOutcome::Failed;
}

bool RasLinks::HangUp(const DialUpLink& link, EventWait&) {
    HRASCONN handle = 0;
    const char* end = link.identifier.data() + link.identifier.size();
    const auto [stop, error] = std::from_chars(link.identifier.data(), end, handle);
    if (error != std::errc() || stop != end) return false;
    return service_->RasHangUpA(handle) == 0;
}

}  // namespace orvane::dialup
