// The status the form's logic tells its views: what the last cycle came to, the address shown,
// the pause and the seconds to the next cycle. The windows' captions, the notification-area
// icon and the headless mode's journal lines and service status all follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Reporter.h"

namespace orvane {

// What the last cycle came to for one publication target.
struct TargetStatus {
    std::string name;
    std::string outcome;  // "aggiornato", "invariato", "errore", "in attesa", "fermato"
    bool operator==(const TargetStatus&) const = default;
};

struct Status {
    enum class Kind {
        Blank,    // before the first cycle, while one runs, after "Pubblica"
        Online,   // the address was published
        Offline,  // no connection, or none with an address
        Error,    // an FTP step or a run-time error ended the cycle
    };
    Kind kind = Kind::Blank;
    std::string address;  // the address shown: the published one, or kept by a later error
    int32_t errorNumber =
        0;  // Kind::Error's: 1 to 3 the FTP steps, 4 the public address, else a run-time error
    bool paused = false;
    int32_t secondsLeft = 0;  // the countdown as shown; below zero no cycle starts by itself
    std::string unroutable;   // the link's address when nobody outside can reach it, else empty
    std::vector<TargetStatus> targets;  // the last cycle's targets, in the file's order
    bool operator==(const Status&) const = default;
};

// The status caption: empty, "Online", "Offline" or "Errore #" and the number.
std::string StatusCaption(const Status& status);
// The one line that says the result: the caption, then the address when there is one (marked
// when the link's address cannot be reached from outside), then each target's outcome
// ("; dyn aggiornato, script errore").
std::string StatusLine(const Status& status);
// How much the result weighs in the journal: a publication is news, no connection a warning,
// an error an error.
Priority PriorityOf(const Status& status);

class StatusObserver {
  public:
    virtual ~StatusObserver() = default;
    // Every change: a cycle's result, a tick, a pause or resumption.
    virtual void StatusChanged(const Status& status) = 0;
};

}  // namespace orvane
