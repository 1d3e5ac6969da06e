// The remote access service on Linux: the connection records and their buffer rules, written
// once over whichever link service (NetworkManager or pppd) is in charge.
#pragma once

#include <functional>

#include "dialup/RemoteAccess.h"
#include "dialup/linux/LinkService.h"

namespace orvane::dialup {

class LinuxRemoteAccess final : public RemoteAccess {
  public:
    // Picks the link service for an enumeration or a dial; hang-ups and projections go to the
    // one picked last, so the handles they carry keep their meaning.
    using Chooser = std::function<LinkService&()>;
    explicit LinuxRemoteAccess(Chooser choose);
    explicit LinuxRemoteAccess(LinkService& only);

    // At most as many records as *bufferSize holds, *count saying how many were written.
    uint32_t RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize, uint32_t* count) override;
    // The link's local and peer IPv4 addresses; the record is untouched on any failure.
    uint32_t RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol, RASPPPIP* projection,
                                   uint32_t* size) override;
    uint32_t RasHangUpA(HRASCONN connection) override;
    // Dials `entry` and returns once the attempt has ended; *connection gets its identifier.
    uint32_t InternetDial(WindowHandle parent, const std::string& entry, uint32_t flags,
                          uint32_t* connection) override;
    void SetEventWait(EventWait* wait) override { wait_ = wait; }

  private:
    LinkService& Choose();
    LinkService& Current();

    Chooser choose_;
    LinkService* current_ = nullptr;
    EventWait* wait_ = nullptr;
    SleepingWait sleeping_;
};

}  // namespace orvane::dialup
