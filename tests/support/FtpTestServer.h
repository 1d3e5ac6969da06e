// A test server on loopback, started and stopped with this object: FTP, FTP requiring TLS
// (tests/support/ftp_server.py) or OpenSSH's sshd serving SFTP (tests/support/ssh_server.py).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "TestFiles.h"

namespace orvane::testing {

struct FtpServerOptions {
    // normal, refuse-stor (550), disk-full (452), drop-data (data connection reset, 426),
    // stall-stor (STOR never answered), stall-226 (the file taken, its 226 never sent),
    // stall-quit (QUIT never answered), silent (accepts TCP, never sends a byte), stall-tls
    // (234 to AUTH, then silent), stall-ssh (an SSH greeting, then silent). For sftp: normal,
    // or rsa-only (an RSA host key and no other). dyndns2: a dynamic-DNS update server instead,
    // answering the text of the root's file "answer", with "http" or "https" as its protocol.
    std::string mode = "normal";
    std::string user = "publisher7";
    std::string password = "p4ss:#@ w%rd/?";  // characters that would break a URL on purpose
    std::string loginDir;                     // a subdirectory of the root to log in to; "" = root
    // "ftp", "ftps" (TLS required; ca.pem and other-ca.pem in stateDir()) or "sftp" (root only;
    // fingerprint, other-fingerprint and host_key.pub in stateDir()); for mode dyndns2 "http" or
    // "https" (ca.pem as for ftps); or "checkip", a public-address service over HTTPS
    // (tests/support/https_server.py) whose mode is plain, page, garbage or slow.
    std::string protocol = "ftp";
};

class FtpTestServer {
  public:
    // True if /usr/bin/python3 with pyftpdlib is there; otherwise `why` says what is missing.
    static bool Available(std::string* why = nullptr);
    // True if sshd can be started here (it needs root); otherwise `why` says why not.
    static bool SshAvailable(std::string* why = nullptr);

    // Starts the server on a fresh temporary root; throws std::runtime_error if it cannot. The
    // server, its root and its transcript end with this object.
    explicit FtpTestServer(FtpServerOptions options = {});

    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    const FtpServerOptions& options() const { return options_; }
    const std::filesystem::path& root() const { return root_; }      // served as "/"
    const std::filesystem::path& stateDir() const { return base_; }  // keys and certificates
    // The first line of a file in stateDir(), such as "fingerprint".
    std::string stateText(const std::string& name) const;

    // What checks this server's identity, from the file `trust` of stateDir(): for "ftps" the CA
    // file, for "sftp" the key to pin ("" pins none: known_hosts decides).
    struct Identity {
        std::string caFile, hostKey;
    };
    Identity identity(const std::string& protocol, const std::string& trust) const {
        if (protocol == "ftps" || protocol == "https") return {(base_ / trust).string(), ""};
        return {"", protocol == "sftp" && !trust.empty() ? stateText(trust) : ""};
    }

    // The transcript: "<n> CONNECT", "<n> <- COMMAND args" (PASS masked), "<n> -> reply".
    std::string transcript() const;
    int connectionCount() const;                    // control connections accepted
    int commandCount(std::string_view verb) const;  // commands received, e.g. "USER", "STOR"

  private:
    // The server's process, killed with this object even when starting it failed.
    struct Process {
        ~Process();
        pid_t pid = -1;
        int stdinWrite = -1;  // closing it tells the server that we are gone
        int stdoutRead = -1;  // open while the server runs, so that it may still write
    };

    FtpServerOptions options_;
    test::TempDir folder_;
    std::filesystem::path base_ = folder_.folder(), root_ = base_ / "root",
                          transcriptPath_ = base_ / "transcript.log";
    Process process_;  // declared after the folder, so the server ends before its files go
    uint16_t port_ = 0;
};

// While it lives, HOME is a folder of its own whose ssh known_hosts holds `server`'s host key if
// `known`, else nothing, after a line marking that key @revoked if `revoked`: what an SFTP login
// checks when no key is pinned.
class KnownHostsHome {
  public:
    KnownHostsHome(const FtpTestServer& server, bool known, bool revoked = false);
    ~KnownHostsHome();

  private:
    test::TempDir folder_;
    std::string saved_;
};

}  // namespace orvane::testing
