// File output for the log on POSIX: whole appends to a regular file, no symlink following, never
// stalled by a FIFO; deletion.
#include "form/FileOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/RuntimeError.h"

namespace orvane {

namespace {

void WriteAll(int fd, const std::string& path, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            throw FileError(error, path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) throw FileError(errno, path);
}

}  // namespace

void AppendToFile(const std::string& path, const std::string& text) {
    // O_NONBLOCK: a FIFO at the name would otherwise hold the open until a reader comes.
    const int fd = ::open(
        path.c_str(), O_APPEND | O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) throw FileError(errno, path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw RuntimeError(ErrorNumber::PathFileAccessError, path + ": not a regular file");
    }
    WriteAll(fd, path, text);
}

void DeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(errno, path);
}

}  // namespace orvane
