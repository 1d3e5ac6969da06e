// A file's last-write time as date text (POSIX): fstat and futimens on the opened file.
#include "raradozo/datetext.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace raradozo {
namespace {

// Closes the descriptor when the scope ends.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_;
};

}  // namespace

std::string FileDateText(const char* path) {
    if (path == nullptr) return {};
    const FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (!file.valid() || fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return {};
    const auto fields = LocalFieldsFromTime(status.st_mtim.tv_sec);
    return fields ? FormatDateText(*fields) : std::string{};
}

bool SetFileDateText(const char* path, const char* text) {
    if (path == nullptr || text == nullptr || strnlen(text, DateTextLength) < DateTextLength) {
        return false;
    }
    const auto moment = LocalTimeFromFields(ParseDateText(text));
    if (!moment) return false;
    // Opening for writing (never creating or truncating) is the permission check; O_NONBLOCK
    // keeps a FIFO from blocking the caller.
    const FileDescriptor file(open(path, O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.valid()) return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {*moment, 0}};
    return futimens(file.get(), times) == 0;
}

}  // namespace raradozo
