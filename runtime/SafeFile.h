// Files replaced whole and safely: a private temporary file beside the target, then a rename.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/RuntimeError.h"

namespace orvane::settings {

// Device and inode of a file (volume serial number and file index on Windows): what tells one
// file from another at the same path.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Whether a replaced file must survive a crash: settings must; a file that is written afresh
// at every start and deleted at exit need not, and skips the cost of flushing it to disk.
enum class Durability { Flushed, Transient };

// Writes `bytes` to a new file in the target's directory (created exclusively, never through
// a symbolic link, with exactly `mode`; on Windows owner-only when `mode` grants nothing to
// others), flushes it to disk unless it is transient, and renames it over `path`.
// Whatever stood at `path` (an older, longer file, or a symbolic link) is replaced, never
// written through. On failure no temporary file remains and a RuntimeError names `path`.
// Returns the identity of the file now at `path`.
FileIdentity ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                                   Durability durability = Durability::Flushed);

// A RuntimeError for a failed file operation: the number chosen from errno, the detail
// saying what was done to which path and why it failed.
RuntimeError FileFailure(int errnoValue, std::string_view what, const std::string& path);

// The directory part of a path, with its trailing separator ("./" when there is none).
std::string DirectoryOf(const std::string& path);

}  // namespace orvane::settings
