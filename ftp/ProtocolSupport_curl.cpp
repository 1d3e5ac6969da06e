// libcurl speaks every protocol the program knows, and HTTPS for the public address.
#include "ftp/Protocol.h"

namespace orvane::ftp {

bool PlatformSupports(Protocol) { return true; }

bool PlatformAsksPublicAddress() { return true; }

}  // namespace orvane::ftp
