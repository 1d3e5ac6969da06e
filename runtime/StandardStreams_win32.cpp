// Standard streams on Windows: a closed one is a null handle, which no file can take over.
#include "runtime/StandardStreams.h"

namespace orvane {

void KeepStandardStreamsOpen() {}

}  // namespace orvane
