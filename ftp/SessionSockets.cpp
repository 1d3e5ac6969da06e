// Opening, closing and shutting down a connection's sockets under one lock.
#include "ftp/SessionSockets.h"

#include <sys/socket.h>
#include <unistd.h>

namespace orvane::ftp {

void SessionSockets::ShutDown() {
    const std::lock_guard lock(mutex_);
    shut_ = true;
    for (const curl_socket_t socket : open_) ::shutdown(socket, SHUT_RDWR);
}

// Close-on-exec, so that a program started meanwhile (a dial's pppd) holds no connection open.
curl_socket_t SessionSockets::Open(void* self, curlsocktype, curl_sockaddr* address) {
    auto& sockets = *static_cast<SessionSockets*>(self);
    const std::lock_guard lock(sockets.mutex_);
    if (sockets.shut_) return CURL_SOCKET_BAD;
    const curl_socket_t socket =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket != CURL_SOCKET_BAD) sockets.open_.insert(socket);
    return socket;
}

int SessionSockets::Close(void* self, curl_socket_t socket) {
    auto& sockets = *static_cast<SessionSockets*>(self);
    const std::lock_guard lock(sockets.mutex_);
    sockets.open_.erase(socket);
    return ::close(socket);
}

}  // namespace orvane::ftp
