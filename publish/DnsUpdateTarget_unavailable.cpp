// Windows builds in no DNS library, so no dnsupdate target: the settings refuse one at start-up.
#include "publish/Target.h"

namespace orvane::publish {

bool DnsUpdateAvailable() { return false; }

std::unique_ptr<Target> MakeDnsUpdateTarget(const DnsUpdateSettings&) { return nullptr; }

}  // namespace orvane::publish
