// Settings files on POSIX: LF line ends; read whole, regular files only, never stalled by a FIFO.
#include "settings/ProfileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvane::settings {

const std::string_view NewFileLineEnd = "\n";

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // O_NONBLOCK so that a FIFO planted at the path cannot stall the program.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> content;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        content.emplace();
        char buffer[65536];
        for (;;) {
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count > 0) {
                content->append(buffer, static_cast<std::size_t>(count));
            } else if (count == 0) {
                break;
            } else if (errno != EINTR) {
                content.reset();
                break;
            }
        }
    }
    close(fd);
    return content;
}

}  // namespace orvane::settings
