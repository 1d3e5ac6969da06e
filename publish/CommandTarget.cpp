// The command target's variables, the same on every platform.
#include "publish/CommandTarget.h"

namespace orvane::publish {

std::vector<std::string> CommandEnvironment(const PublishedAddresses& now,
                                            const PublishedAddresses& previous) {
    return {"ORVANE_ADDRESS=" + now.ipv4, "ORVANE_ADDRESS6=" + now.ipv6,
            "ORVANE_PREVIOUS_ADDRESS=" + previous.ipv4, "ORVANE_ENTRY=" + now.entryName};
}

}  // namespace orvane::publish
