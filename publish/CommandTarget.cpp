// The command target's variables, the same on every platform.
#include "publish/CommandTarget.h"

namespace orvane::publish {

std::vector<std::string> CommandEnvironment(const PublishedAddresses& now,
                                            const PublishedAddresses& previous) {
    std::vector<std::string> variables{"ORVANE_ADDRESS=" + now.ipv4,
                                       "ORVANE_PREVIOUS_ADDRESS=" + previous.ipv4,
                                       "ORVANE_ENTRY=" + now.entryName};
    if (!now.ipv6.empty()) variables.push_back("ORVANE_ADDRESS6=" + now.ipv6);
    return variables;
}

}  // namespace orvane::publish
