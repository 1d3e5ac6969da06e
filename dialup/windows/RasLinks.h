// The Windows links: the active connection table (mRas) over the remote access service, and
// dialling through DialDefault.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

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
    // Hears the system's connect and disconnect events (RasConnectionNotification) on a
    // message-only window of its own, so the program's message loop delivers them.
    void WatchChanges(EventWait& wait, std::function<void()> changed) override;

    RasLinks(const RasLinks&) = delete;
    RasLinks& operator=(const RasLinks&) = delete;
    ~RasLinks() override;

    // The message-only window's: an event was heard, or the settling wait has passed.
    void Heard();
    void LookAgain();

  private:
    std::unique_ptr<RemoteAccess> service_;
    WindowHandle parent_;
    EventWait* wait_ = nullptr;
    std::function<void()> changed_;
    std::optional<std::string> published_;  // from the last listing
    void* event_ = nullptr;                 // signalled by the system on each event
    void* registeredWait_ = nullptr;        // the thread pool's wait on it
    void* window_ = nullptr;                // where that wait posts what it heard
    bool settling_ = false;
};

}  // namespace orvane::dialup
