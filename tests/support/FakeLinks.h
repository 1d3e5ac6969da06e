// Links that report the links they are given and remember how they were dialled and hung up.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialup/Links.h"

namespace orvane::testing {

// A link identified by its entry name.
inline dialup::DialUpLink Link(const std::string& entry, const std::string& address) {
    return dialup::DialUpLink{"id:" + entry, entry, "ppp0", address};
}

class FakeLinks final : public dialup::Links {
  public:
    std::vector<dialup::DialUpLink> ActiveLinks(EventWait&) override {
        ++listings;
        return links;
    }
    dialup::DialOutcome Dial(const std::string& entry, EventWait& wait) override {
        dialled.push_back(entry);
        if (onDial) onDial();
        // The dial waits as the real ones do, a second at a time.
        for (auto left = dialTakes; left.count() > 0; left -= std::chrono::seconds(1)) {
            wait.WaitForEvents(std::min<std::chrono::milliseconds>(left, std::chrono::seconds(1)));
        }
        if (dialBringsUp) links.push_back(*dialBringsUp);
        return dialSays.value_or(dialBringsUp ? dialup::DialOutcome::LinkUp
                                              : dialup::DialOutcome::Failed);
    }
    bool HangUp(const dialup::DialUpLink& link, EventWait&) override {
        hungUp.push_back(link.identifier);
        return true;
    }
    // Tests call `changed` as the service would.
    void WatchChanges(EventWait&, std::function<void()> onChange) override {
        changed = std::move(onChange);
    }

    std::vector<dialup::DialUpLink> links;
    std::optional<dialup::DialUpLink> dialBringsUp;
    std::optional<dialup::DialOutcome> dialSays;  // else LinkUp when the dial brings one up
    std::chrono::milliseconds dialTakes{0};
    std::function<void()> onDial;
    std::function<void()> changed;
    int listings = 0;
    std::vector<std::string> dialled;
    std::vector<std::string> hungUp;
};

}  // namespace orvane::testing
