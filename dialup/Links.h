// The link port: the active dial-up links, dialling an entry and hanging up one link, in the
// program's own terms. One implementation per platform.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/EventWait.h"

namespace orvane::dialup {

// One active dial-up link.
struct DialUpLink {
    std::string identifier;  // the service's own name for the link, to hang it up by
    std::string entryName;   // the name the user dials it by
    std::string device;      // the device or network interface it runs on
    std::string address;     // its IPv4 address, dotted; empty when the service gave none
    std::string address6{};  // a global IPv6 address of the link; empty when it has none
};

enum class DialOutcome { LinkUp, Failed };

class Links {
  public:
    virtual ~Links() = default;

    // The active dial-up links, in the service's order. Calls that may wait do so in `wait`.
    virtual std::vector<DialUpLink> ActiveLinks(EventWait& wait) = 0;
    // Brings `entry` up without asking the user anything, waiting in `wait`; a dial that the
    // program's closing ends is given up (and counts as failed).
    virtual DialOutcome Dial(const std::string& entry, EventWait& wait) = 0;
    // Ends that link and nothing else; false when it was not ended.
    virtual bool HangUp(const DialUpLink& link, EventWait& wait) = 0;
    // From now on calls `changed` from the event loop, once a burst of notifications has
    // settled, when the address of the link that would be published changes or a dial-up link
    // comes up; what happens to other interfaces and connections, or a link going down, is not
    // passed on. Listings it makes wait in `wait`, which must outlive the links. Nothing is
    // polled: a service that announces nothing keeps this as it is, and never calls.
    virtual void WatchChanges(EventWait& wait, std::function<void()> changed) {
        (void)wait;
        (void)changed;
    }
};

// The platform's links. Anything a dialler shows goes over `parentWindow`, the main window's
// handle (Windows; no Linux dialler shows anything).
std::unique_ptr<Links> MakeSystemLinks(void* parentWindow = nullptr);

}  // namespace orvane::dialup
