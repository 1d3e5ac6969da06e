// The path part of an ftp:// or sftp:// URL that makes the server receive a remote file name
// exactly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::ftp {

// What follows "ftp://host:port/" so that a client sending the path whole to STOR (no CWD)
// sends exactly `remoteFile`: every path segment percent-escaped except the unreserved
// characters, segments joined by "/", and an absolute name's leading "/" written as "%2F".
// A name relative to the login directory stays relative. Nothing if no file can carry the
// name: empty, ending in "/", or holding NUL, CR or LF (which could end the command line).
std::optional<std::string> FtpUrlPath(std::string_view remoteFile);

// The same for an sftp:// URL, whose path the client sends as it is: an absolute name's own
// segments, and a relative name under "~/", the login's home directory.
std::optional<std::string> SftpUrlPath(std::string_view remoteFile);

// True if `text` holds NUL, CR or LF: such text cannot go into an FTP command line. Any other
// byte (a tab in a password, say) is the server's to judge.
bool HoldsLineBreakOrNul(std::string_view text);

}  // namespace orvane::ftp
