// The libcurl uploader's own factories (in the transfer helper, and for tests that choose which
// library file it loads), and the uploader that runs it in the helper.
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

// The libcurl uploader in this process, with the system's libcurl: the transfer helper's.
std::unique_ptr<Uploader> MakeInProcessUploader(Timeouts timeouts);

// An uploader whose every session and question runs in the helper program at `helperPath`; the
// system's uploader is this one with the installed helper.
std::unique_ptr<Uploader> MakeHelperUploader(Timeouts timeouts, std::string helperPath);

}  // namespace orvane::ftp::detail
