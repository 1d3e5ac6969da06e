// The internet client's place: open a session, connect and log in to a server (FTP, FTP over
// TLS or SSH's file transfer), store a file, close. One implementation per platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ftp/Protocol.h"
#include "runtime/EventWait.h"

namespace orvane::ftp {

// An opaque handle; 0 is the null handle.
using HINTERNET = std::uintptr_t;

inline constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
inline constexpr uint32_t INTERNET_SERVICE_FTP = 1;
inline constexpr uint32_t INTERNET_FLAG_PASSIVE = 0x08000000;
inline constexpr uint32_t FTP_TRANSFER_TYPE_BINARY = 2;
inline constexpr uint16_t INTERNET_DEFAULT_FTP_PORT = 21;

// Bounds on every network wait, so a server that accepts and never answers cannot hold the
// program for good. Running out is a failure of the call that was waiting.
struct Timeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds stall{60000};  // the longest time without any progress
};

class InternetClient {
  public:
    virtual ~InternetClient() = default;

    // The root handle, or 0.
    virtual HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType,
                                    const std::string& proxy, const std::string& proxyBypass,
                                    uint32_t flags) = 0;

    // Connects to the server and logs in; a handle only once the login has been accepted, else 0.
    virtual HINTERNET InternetConnectA(HINTERNET internet, const std::string& server, uint16_t port,
                                       const std::string& user, const std::string& password,
                                       uint32_t service, uint32_t flags, uintptr_t context) = 0;

    // Stores the local file on the server under `remoteFile`, byte for byte. True on success.
    virtual bool FtpPutFileA(HINTERNET ftp, const std::string& localFile,
                             const std::string& remoteFile, uint32_t flags, uintptr_t context) = 0;

    // Closes the handle and everything derived from it.
    virtual bool InternetCloseHandle(HINTERNET handle) = 0;

    // What went wrong in the last failed call, for the log and the user; never holds a secret.
    virtual std::string LastErrorText() const = 0;

    // How the sessions that InternetConnectA opens from now on are protected. False, and
    // nothing changed, when this client cannot speak the protocol.
    virtual bool SetProtection(const Protection& protection) {
        return protection.protocol == Protocol::Ftp;
    }

    // Where a login or transfer waits; without one it waits without serving the event loop.
    virtual void SetEventWait(EventWait* wait) { (void)wait; }
};

// The platform's client.
std::unique_ptr<InternetClient> MakeSystemInternetClient(Timeouts timeouts = {});

}  // namespace orvane::ftp
