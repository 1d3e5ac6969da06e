// The libcurl uploader's own factory, for tests that choose which library file it loads.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ftp/Uploader.h"

namespace orvane::ftp::detail {

// An uploader whose first Open loads the first of `libraryNames` that loads; the system's
// uploader is this one with libcurl's names. Each call gets a loader of its own.
std::unique_ptr<Uploader> MakeCurlUploader(Timeouts timeouts,
                                           std::vector<std::string> libraryNames);

}  // namespace orvane::ftp::detail
