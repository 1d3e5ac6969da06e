// The transfer helper seen from the program: a short-lived child process that does the network
// work needing libcurl, so that the long-running program never maps libcurl and what it loads.
// Requests and replies (secrets included) go over a socket, never the command line or the
// environment.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "ftp/TransferChannel.h"
#include "runtime/EventWait.h"

namespace orvane::ftp {

// The helper's executable: beside the running program (the build tree), else where the
// installation puts it, ../lib/orvane/ from the program's folder.
std::string TransferHelperPath();

class TransferHelper {
  public:
    // Starts `path` with its end of a fresh socket as descriptor 3 and no other descriptor of
    // this process; nullptr and `error` set when it cannot be started.
    static std::unique_ptr<TransferHelper> Start(const std::string& path, std::string& error);

    // Kills the helper if it still runs and reaps it: nothing is left behind.
    ~TransferHelper();
    TransferHelper(const TransferHelper&) = delete;
    TransferHelper& operator=(const TransferHelper&) = delete;

    enum class Status { Answered, Cancelled, Broken };
    struct Reply {
        Status status = Status::Broken;
        Message message;    // when Answered
        std::string error;  // when Broken: what went wrong with the helper
    };

    // Sends `request` and waits for the reply in `wait`, in bounded steps; the helper keeps its
    // own network time-outs. Once closing is asked for, the helper is killed (Cancelled). A
    // helper that ends or answers garbage is Broken, with the reason.
    Reply Ask(const Message& request, EventWait& wait);

  private:
    TransferHelper(pid_t pid, int socket) : pid_(pid), socket_(socket) {}
    void Kill();
    std::string HowItEnded(EventWait& wait);

    pid_t pid_;
    int socket_;
    bool reaped_ = false;
    std::string received_;
};

}  // namespace orvane::ftp
