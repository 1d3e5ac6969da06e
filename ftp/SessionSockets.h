// The sockets libcurl opens for one FTP or SFTP connection, so that closing the program can shut
// them down while a libcurl call waits on them on another thread.
#pragma once

// Types only, as in CurlLibrary.h.
#include <curl/curl.h>

#include <mutex>
#include <set>

namespace orvane::ftp {

// Filled through libcurl's open and close socket callbacks (control and data connections alike).
// Shutting a socket down ends every wait on it at once: a reply, a handshake, a goodbye. The lock
// keeps a socket from being closed, and its number reused, between lookup and shutdown.
class SessionSockets {
  public:
    // Shuts down every open socket, and refuses those asked for from now on.
    void ShutDown();

    // CURLOPT_OPENSOCKETFUNCTION and CURLOPT_CLOSESOCKETFUNCTION, with this as their data.
    static curl_socket_t Open(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int Close(void* self, curl_socket_t socket);

  private:
    std::mutex mutex_;
    std::set<curl_socket_t> open_;
    bool shut_ = false;
};

}  // namespace orvane::ftp
