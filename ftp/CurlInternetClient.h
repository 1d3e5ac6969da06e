// The libcurl client's own factory, for tests that choose which library file it loads.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ftp/InternetClient.h"

namespace orvane::ftp::detail {

// A client whose first InternetOpenA loads the first of `libraryNames` that loads; the system's
// client is this one with libcurl's names. Each call gets a loader of its own.
std::unique_ptr<InternetClient> MakeCurlInternetClient(Timeouts timeouts,
                                                       std::vector<std::string> libraryNames);

}  // namespace orvane::ftp::detail
