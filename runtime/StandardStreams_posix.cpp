// Standard streams on POSIX: the null device on descriptors 0 to 2 where they are closed;
// standard error matched against the journal's stream.
#include "runtime/StandardStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace orvane {

void KeepStandardStreamsOpen() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open takes the lowest free number, which is this one: those below are open by now.
        const int opened = open("/dev/null", O_RDWR);
        if (opened > STDERR_FILENO) close(opened);
    }
}

// JOURNAL_STREAM holds "device:inode" of the stream the journal gave the service.
bool StderrIsJournal() {
    const char* journal = std::getenv("JOURNAL_STREAM");
    struct stat info {};
    if (journal == nullptr || *journal == '\0' || fstat(STDERR_FILENO, &info) != 0) return false;
    return journal == std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

}  // namespace orvane
