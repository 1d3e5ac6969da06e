// The lock that lets only one copy of the program run in an application directory.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::mCrypt {

// An exclusive lock on a lock file, held from Acquire until Release or destruction.
class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock() { Release(); }

    // Takes the lock on `lockPath` (created owner-only if missing, never through a symbolic
    // link) without waiting. A copy already holding it is a RuntimeError(FileAlreadyOpen)
    // naming `appDir`; a lock file that cannot be opened is a file error.
    void Acquire(const std::string& lockPath, const std::string& appDir);
    // Gives the lock up; the lock file stays, since removing it would let two copies lock
    // two different files.
    void Release();
    bool Held() const { return handle_ != -1; }

  private:
    std::intptr_t handle_ = -1;  // the descriptor, or on Windows the file handle
};

}  // namespace orvane::mCrypt
