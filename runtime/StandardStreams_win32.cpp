// Standard streams on Windows: a closed one is a null handle, which no file can take over; no
// journal.
#include "runtime/StandardStreams.h"

namespace orvane {

void KeepStandardStreamsOpen() {}

bool StderrIsJournal() { return false; }

}  // namespace orvane
