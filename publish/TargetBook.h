// What each target last accepted, and whether it is stopped or paused, kept in a file of the
// state folder so that a restart neither resends an unchanged address nor forgets a stop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "publish/Targets.h"

namespace orvane::publish {

struct TargetRecord {
    std::string fingerprint;      // of the settings the rest was learnt with
    PublishedAddresses accepted;  // the entry name is not kept
    bool stopped = false;
    int64_t pausedUntil = 0;  // seconds since 1970; 0: no pause
    bool operator==(const TargetRecord&) const = default;
};

// The records in the file's text (one line per target) and back. Lines that cannot be read are
// dropped: the worst that follows is one update more.
std::map<std::string, TargetRecord> ParseTargetRecords(const std::string& text);
std::string TargetRecordsText(const std::map<std::string, TargetRecord>& records);

// What became of a target in a round.
enum class TargetResult {
    Published,  // accepted now
    Unchanged,  // it already holds the address: nothing sent
    Failed,     // tried again at the next round
    Paused,     // the target asked for a pause, now or before: nothing sent
    Stopped,    // the target refused the account or name, now or before: nothing sent
};

struct TargetReport {
    std::string name;
    TargetResult result = TargetResult::Unchanged;
    std::string reason;  // the target's words; empty when nothing was sent
    bool sent = false;   // the result comes from this round's attempt
};

using TargetMaker = std::function<std::unique_ptr<Target>(const TargetSettings&)>;

// One round over the targets, in their order: each whose record differs from `now` (or each,
// with `all`) that is neither stopped nor paused is published to, one after the other; none
// waits for another's failure. The records file at `recordsFile` is read first and written
// after each target that sent. `at` is the wall-clock time, for the pauses.
std::vector<TargetReport> PublishToTargets(const std::vector<TargetSettings>& targets,
                                           const TargetMaker& make, const std::string& recordsFile,
                                           const PublishedAddresses& now, bool all,
                                           std::chrono::system_clock::time_point at,
                                           EventWait& wait);

}  // namespace orvane::publish
