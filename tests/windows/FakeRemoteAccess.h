// A remote access service that reports the links it is given and remembers how it was dialled;
// like the real service it refuses records of a form other than the known one.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dialup/windows/RemoteAccess.h"

namespace orvane::testing {

struct FakeLink {
    std::string entry;
    std::string address;          // empty: the service reports no projection
    dialup::HRASCONN handle = 0;  // 0: 100 + the link's place in the list
};

class FakeRemoteAccess final : public dialup::RemoteAccess {
  public:
    uint32_t RasEnumConnectionsA(dialup::RASCONN* records, uint32_t* bufferSize,
                                 uint32_t* count) override {
        if (records[0].dwSize != 412 || *bufferSize != 256 * 412) return 632;
        const std::size_t written = std::min<std::size_t>(links.size(), 256);
        for (std::size_t n = 0; n < written; ++n) {
            records[n] = dialup::RASCONN{sizeof(dialup::RASCONN), HandleOf(n), {}, "PPP", "ppp0"};
            // Up to the whole field: a name of 257 bytes leaves no NUL at all.
            std::memcpy(records[n].szEntryName, links[n].entry.data(),
                        std::min(links[n].entry.size(), sizeof records[n].szEntryName));
        }
        *count = reportedCount.value_or(static_cast<uint32_t>(written));
        return 0;
    }
    uint32_t RasGetProjectionInfoA(dialup::HRASCONN connection, uint32_t,
                                   dialup::RASPPPIP* projection, uint32_t* size) override {
        if (projection->dwSize != 40 || *size != 40) return 632;
        for (std::size_t n = 0; n < links.size(); ++n) {
            if (HandleOf(n) != connection || links[n].address.empty()) continue;
            std::memcpy(projection->szIpAddress, links[n].address.c_str(),
                        links[n].address.size() + 1);
            return 0;
        }
        return 730;
    }
    uint32_t RasHangUpA(dialup::HRASCONN) override { return 0; }
    uint32_t InternetDial(dialup::WindowHandle parent, const std::string& entry, uint32_t flags,
                          uint32_t* connection) override {
        dialled.push_back(entry);
        dialFlags = flags;
        dialParent = parent;
        *connection = 4242;
        if (dialBringsUp) links.push_back(*dialBringsUp);
        return dialStatus.value_or(dialBringsUp ? 0 : 1);
    }

    std::vector<FakeLink> links;
    std::optional<FakeLink> dialBringsUp;
    std::optional<uint32_t> dialStatus;     // else 0 if the dial brings a link up
    std::optional<uint32_t> reportedCount;  // a count other than the records written
    std::vector<std::string> dialled;
    uint32_t dialFlags = 0;
    dialup::WindowHandle dialParent = nullptr;

  private:
    dialup::HRASCONN HandleOf(std::size_t n) const {
        return links[n].handle ? links[n].handle : static_cast<dialup::HRASCONN>(100 + n);
    }
};

}  // namespace orvane::testing
