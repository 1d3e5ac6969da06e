// The self-pipe between the close signals and the event loop.
#include "qt/CloseSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

namespace {

int signalPipe[2] = {-1, -1};

void OnCloseSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void InstallCloseSignals() {
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(number, &action, nullptr);
}

CloseSignalNotifier::CloseSignalNotifier(std::function<void()> onClose, QObject* parent)
    : QObject(parent), onClose_(std::move(onClose)) {
    if (signalPipe[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        onClose_();
    });
}

}  // namespace orvane
