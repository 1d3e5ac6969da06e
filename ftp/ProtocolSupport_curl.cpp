// libcurl speaks every protocol the program knows.
#include "ftp/Protocol.h"

namespace orvane::ftp {

bool PlatformSupports(Protocol) { return true; }

}  // namespace orvane::ftp
