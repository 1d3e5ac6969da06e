// Atomic file replacement on POSIX: an exclusive temporary file, fsync and rename.
#include "SafeFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace orvane {

namespace {

// Closes a descriptor on every path out of a scope unless released.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }
    void Release() { fd_ = -1; }
    // Closes now and reports close's own failure, which can be a late write error.
    int CloseNow() {
        const int result = close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

std::string RandomSuffix() {
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Without the random source the time and pid still make a clash unlikely;
        // O_EXCL makes a clash harmless.
        const auto seed = static_cast<unsigned long long>(getpid()) ^
                          static_cast<unsigned long long>(time(nullptr));
        std::memcpy(bytes, &seed, sizeof bytes);
    }
    char text[17];
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", static_cast<unsigned>(bytes[i]));
    return text;
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

// Makes the rename itself durable; a failure here loses nothing already renamed.
void SyncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Gives the new file `fd` the owner and group of the file at `path`, where one is there and they
// differ. Returns 0, or the errno of an owner that could not be given; a group that could not
// be is let go, since the file's mode gives its group nothing.
int KeepOwnerOf(const std::string& path, int fd) {
    struct stat existing {};
    struct stat created {};
    if (stat(path.c_str(), &existing) != 0 || fstat(fd, &created) != 0) return 0;
    if (existing.st_uid == created.st_uid && existing.st_gid == created.st_gid) return 0;
    if (fchown(fd, existing.st_uid, existing.st_gid) == 0) return 0;
    return existing.st_uid == created.st_uid ? 0 : errno;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

FileIdentity ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                                   Durability durability, Ownership ownership) {
    const bool flush = durability == Durability::Flushed;
    const std::string directory = DirectoryOf(path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = directory + "." + BaseNameOf(path) + "." + RandomSuffix() + ".tmp";
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  static_cast<mode_t>(mode));
        if (fd < 0 && errno != EEXIST) throw FileFailure(errno, "impossibile scrivere", path);
    }
    if (fd < 0) throw FileFailure(EEXIST, "impossibile scrivere", path);
    FileDescriptor file(fd);

    struct stat info {};
    int failure = ownership == Ownership::KeepExisting ? KeepOwnerOf(path, fd) : 0;
    // fchmod: the mode must not depend on the umask, in either direction.
    if (failure == 0 && (fchmod(fd, static_cast<mode_t>(mode)) != 0 || !WriteAll(fd, bytes) ||
                         (flush && fsync(fd) != 0) || fstat(fd, &info) != 0 ||
                         file.CloseNow() != 0 || rename(temporary.c_str(), path.c_str()) != 0))
        failure = errno;
    if (failure != 0) {
        unlink(temporary.c_str());
        throw FileFailure(failure, "impossibile scrivere", path);
    }
    if (flush) SyncDirectory(directory);
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

FileChangeLock::FileChangeLock(const std::string& path)
    : lockPath_(DirectoryOf(path) + "." + BaseNameOf(path) + ".lock") {
    for (;;) {
        const int fd =
            open(lockPath_.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        if (fd < 0) throw FileFailure(errno, "cannot lock", path);
        FileDescriptor file(fd);
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode))
            throw RuntimeError(ErrorNumber::PathFileAccessError,
                               "cannot lock " + path + ": " + lockPath_ + " is not a regular file");
        int locked = 0;
        do locked = flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) throw FileFailure(errno, "cannot lock", path);
        // The holder before us deletes the file it held: then the lock is the new file's.
        if (lstat(lockPath_.c_str(), &named) == 0 && SameFile(held, named)) {
            handle_ = fd;
            file.Release();
            return;
        }
    }
}

FileChangeLock::~FileChangeLock() {
    // Deleted while still held, so that whoever opens the name next makes a new lock file.
    unlink(lockPath_.c_str());
    close(static_cast<int>(handle_));
}

}  // namespace orvane
