// The pppd links: PPP devices and the links a live pppd owns by its pid files; pppd dials and
// hangs up.
#pragma once

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "dialup/Links.h"

namespace orvane::dialup {

struct PppdOptions {
    // Where pppd writes its pid files ("<interface>.pid", "ppp-<linkname>.pid").
    std::filesystem::path runDirectory = "/run";
    // The dialler: a program name looked up on PATH, or a path holding a slash.
    std::string pppdProgram = "pppd";
    // How long one dial may take before pppd is stopped.
    std::chrono::milliseconds dialTimeLimit = std::chrono::seconds(120);
    // pppd takes `linkname` on its command line from root only: anyone else's dial could not
    // work and is not started.
    bool asRoot = geteuid() == 0;
};

class PppdLinks final : public Links {
  public:
    explicit PppdLinks(PppdOptions options = {});

    // Up, with an IPv4 address, and a PPP device or owned by a live pppd; by interface index,
    // whose number is also the identifier. Tunnels and VPNs nobody's pppd owns do not count.
    std::vector<DialUpLink> ActiveLinks(EventWait& wait) override;
    // Runs pppd for `entry` until it reports the link up. Not as root, nothing is run, and why
    // is said once.
    DialOutcome Dial(const std::string& entry, EventWait& wait) override;
    // SIGTERM to the live pppd that owns the link; a link nobody owns is left alone.
    bool HangUp(const DialUpLink& link, EventWait& wait) override;

  private:
    PppdOptions options_;
    bool toldWhyNot_ = false;
};

}  // namespace orvane::dialup
