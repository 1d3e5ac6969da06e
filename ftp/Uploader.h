// The upload port: a session with a server (FTP, FTP over TLS or SSH's file transfer) opened with
// a login, files stored in it, closed when it goes. One implementation per platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "ftp/Protocol.h"
#include "runtime/EventWait.h"

namespace orvane::ftp {

// Bounds on every network wait, so a server that accepts and never answers cannot hold the
// program for good. Running out is a failure of the step that was waiting.
struct Timeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds stall{60000};   // the longest time without any progress
    std::chrono::milliseconds lookup{10000};  // a whole question to the public-address service
};

// Where a session goes, who logs in and how the session is protected.
struct SessionTarget {
    std::string host;
    uint16_t port = kFtpPort;
    std::string user;
    std::string password;
    Protection protection;
};

// The step of a session that failed; the numbers are the ones the window shows ("Errore #2").
enum class UploadStep {
    OpenInternet = 1,  // the network library could not be started
    Login = 2,         // the server could not be reached, refused the login or its identity
    Store = 3,         // the file could not be stored
};

struct UploadFailure {
    UploadStep step;
    std::string reason;  // for whoever diagnoses it; never the user name or the password
};

class UploadSession {
  public:
    // Closes the session: a goodbye to the server, unless the program is closing.
    virtual ~UploadSession() = default;

    // Stores the local file on the server under `remotePath`, byte for byte, as the only change
    // made there. Nothing on success, else the failure (at the step Store).
    virtual std::optional<UploadFailure> Put(const std::string& localFile,
                                             const std::string& remotePath) = 0;
};

// An open, logged-in session, or why there is none (at the step OpenInternet or Login).
using OpenedSession = std::variant<std::unique_ptr<UploadSession>, UploadFailure>;

// A service that answers an HTTPS GET with the address the world sees this machine by.
struct AddressService {
    std::string url;     // https://...
    std::string caFile;  // a PEM file of the authorities to trust instead of the system's
};

struct LookupFailure {
    std::string reason;  // for whoever diagnoses it
};

// The dotted IPv4 address the service answered, or why there is none.
using PublicAddressAnswer = std::variant<std::string, LookupFailure>;

class Uploader {
  public:
    virtual ~Uploader() = default;

    // Whether sessions of this protocol can be opened here at all.
    virtual bool Supports(Protocol protocol) const = 0;

    // Connects and logs in. Every wait of the session, its uploads and its close included, is
    // spent in `wait`, which must outlive the session; once it asks to stop, the step under way
    // ends at once.
    virtual OpenedSession Open(const SessionTarget& target, EventWait& wait) = 0;

    // Asks the service, over HTTPS with the certificate and name checked and within the
    // lookup's bound, waiting in `wait`; closing the program ends the question at once.
    virtual PublicAddressAnswer LookUpPublicAddress(const AddressService& service,
                                                    EventWait& wait) = 0;
};

// The platform's uploader.
std::unique_ptr<Uploader> MakeSystemUploader(Timeouts timeouts = {});

}  // namespace orvane::ftp
