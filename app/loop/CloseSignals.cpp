// The self-pipe between the process's signals and the event loop.
#include "loop/CloseSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace orvane {

namespace {

int signalPipe[2] = {-1, -1};

constexpr int kCloseSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};

void OnSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void InstallCloseSignals() {
    // A reader of standard error that goes away must not end the program: the write fails
    // instead, and is dropped. A stray alarm has nothing to end either. Signals that report
    // a crash keep their default.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGALRM, SIG_IGN);
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kCloseSignals) ::sigaction(number, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
}

CloseSignalNotifier::CloseSignalNotifier(std::function<void()> onClose,
                                         std::function<void()> onPublish, QObject* parent)
    : QObject(parent), onClose_(std::move(onClose)), onPublish_(std::move(onPublish)) {
    if (signalPipe[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Dispatch(); });
}

void CloseSignalNotifier::Dispatch() {
    bool close = false, publish = false;
    char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(signalPipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (bytes[i] == SIGUSR1)
                publish = true;
            else
                close = true;
        }
    }
    if (close)
        onClose_();
    else if (publish && onPublish_)
        onPublish_();
}

}  // namespace orvane
