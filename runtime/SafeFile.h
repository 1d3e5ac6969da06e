// Files replaced whole and safely: a private temporary file beside the target, then a rename; and
// the lock under which a file is read, changed and replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/RuntimeError.h"

namespace orvane {

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

// Who owns the new file: the running user, or whoever owned the file it replaces (a file that
// root changes for its user stays the user's). Only for a file the caller means to change in
// place; a file planted at the name must never pass its owner on.
enum class Ownership { Ours, KeepExisting };

// Writes `bytes` to a new file in the target's directory (created exclusively, never through
// a symbolic link, with exactly `mode`; on Windows owner-only when `mode` grants nothing to
// others), flushes it to disk unless it is transient, and renames it over `path`.
// Whatever stood at `path` (an older, longer file, or a symbolic link) is replaced, never
// written through. With Ownership::KeepExisting the new file gets the owner and group of the
// file at `path` on POSIX: an owner that cannot be given is an error, a group that cannot be
// is let go (Windows keeps no owner). On failure no temporary file remains and a RuntimeError
// names `path`. Returns the identity of the file now at `path`.
FileIdentity ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                                   Durability durability = Durability::Flushed,
                                   Ownership ownership = Ownership::Ours);

// Held while a file is read, changed and replaced, so that changes made at the same time by
// several processes are made one after the other and none is lost. It is a lock file beside
// the file (".NAME.lock"), waited for until its holder is done and deleted when released;
// one left by a process that was killed is simply taken over. A lock file that cannot be made
// or is not a regular file is a RuntimeError naming `path`.
class FileChangeLock {
  public:
    explicit FileChangeLock(const std::string& path);
    FileChangeLock(const FileChangeLock&) = delete;
    FileChangeLock& operator=(const FileChangeLock&) = delete;
    ~FileChangeLock();

  private:
    std::string lockPath_;
    std::intptr_t handle_ = -1;  // the descriptor, or on Windows the file handle
};

// A RuntimeError for a failed file operation: the number chosen from errno, the detail
// saying what was done to which path and why it failed.
RuntimeError FileFailure(int errnoValue, std::string_view what, const std::string& path);

// The directory part of a path, with its trailing separator ("./" when there is none).
std::string DirectoryOf(const std::string& path);

}  // namespace orvane
