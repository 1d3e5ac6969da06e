// wininet has neither FTP over TLS nor SSH: plain FTP only, and no public-address service.
#include "ftp/Protocol.h"

namespace orvane::ftp {

bool PlatformSupports(Protocol protocol) { return protocol == Protocol::Ftp; }

bool PlatformAsksPublicAddress() { return false; }

}  // namespace orvane::ftp
