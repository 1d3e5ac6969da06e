// The Windows links: the active connection table (mRas) over the remote access service, and
// dialling through DialDefault.
#pragma once

#include <memory>

#include "dialup/Links.h"
#include "dialup/windows/RemoteAccess.h"

namespace orvane::dialup {

class RasLinks final : public Links {
  public:
    // `parent` is the window the dialler's own windows belong to.
    RasLinks(std::unique_ptr<RemoteAccess> service, WindowHandle parent);

    // The table's entries 1 to count, the connection handle (in decimal) as the identifier.
    std::vector<DialUpLink> ActiveLinks(EventWait& wait) override;
    // DialDefault's verdict: whether a connection is up after the attempt. The dialler blocks
    // until the attempt has ended.
    DialOutcome Dial(const std::string& entry, EventWait& wait) override;
    // RasHangUpA of the link's handle.
    bool HangUp(const DialUpLink& link, EventWait& wait) override;

  private:
    std::unique_ptr<RemoteAccess> service_;
    WindowHandle parent_;
};

}  // namespace orvane::dialup
