// Standard streams on POSIX: the null device on descriptors 0 to 2 where they are closed.
#include "runtime/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

void KeepStandardStreamsOpen() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open takes the lowest free number, which is this one: those below are open by now.
        const int opened = open("/dev/null", O_RDWR);
        if (opened > STDERR_FILENO) close(opened);
    }
}

}  // namespace orvane
