// The instance lock on POSIX: flock on a lock file in the application directory.
#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/RuntimeError.h"
#include "runtime/SafeFile.h"

namespace orvane::mCrypt {

void InstanceLock::Acquire(const std::string& lockPath, const std::string& appDir) {
    Release();
    // Read-only: the lock file is never written, so a link planted at its name changes nothing.
    // O_NONBLOCK: a FIFO at the name must not hold the start-up.
    const int fd =
        open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) throw FileFailure(errno, "impossibile aprire il file di blocco", lockPath);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        throw RuntimeError(ErrorNumber::PathFileAccessError,
                           "rifiutato il file di blocco " + lockPath + ": non è un file normale");
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK)
            throw RuntimeError(ErrorNumber::FileAlreadyOpen,
                               "un'altra copia di Orvane è già in esecuzione in " + appDir);
        throw FileFailure(error, "impossibile bloccare", lockPath);
    }
    handle_ = fd;
}

void InstanceLock::Release() {
    if (handle_ == -1) return;
    close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace orvane::mCrypt
