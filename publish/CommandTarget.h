// What the command target's two platforms share: its time limit and the variables it sets.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "publish/Target.h"

namespace orvane::publish {

inline constexpr std::chrono::seconds kCommandTimeLimit{30};

// "ORVANE_ADDRESS=...", "ORVANE_PREVIOUS_ADDRESS=..." (empty the first time), "ORVANE_ENTRY=..."
// and, where the link has a global IPv6 address, "ORVANE_ADDRESS6=...".
std::vector<std::string> CommandEnvironment(const PublishedAddresses& now,
                                            const PublishedAddresses& previous);

// A command target ended after `limit` instead of the usual time, for tests.
std::unique_ptr<Target> MakeCommandTarget(const CommandSettings& settings,
                                          std::chrono::milliseconds limit);

}  // namespace orvane::publish
