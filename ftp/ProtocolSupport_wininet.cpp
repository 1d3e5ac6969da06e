// wininet has neither FTP over TLS nor SSH: plain FTP only.
#include "ftp/Protocol.h"

namespace orvane::ftp {

bool PlatformSupports(Protocol protocol) { return protocol == Protocol::Ftp; }

}  // namespace orvane::ftp
