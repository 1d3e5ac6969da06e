// Reading the @revoked lines of a known hosts file.
#include "ftp/RevokedKeys.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace orvane::ftp {

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t count = std::min<size_t>(3, bytes.size() - at);
        unsigned group = 0;
        for (size_t i = 0; i < 3; ++i) {
            group = group << 8 | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        }
        for (size_t i = 0; i < 4; ++i) {
            text += i <= count ? kDigits[group >> (18 - 6 * i) & 0x3F] : '=';
        }
    }
    return text;
}

// A line reads "@revoked HOSTS TYPE BASE64 [COMMENT]".
bool IsRevokedHostKey(const std::string& knownHostsFile, std::string_view keyBase64) {
    std::ifstream file(knownHostsFile);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string marker, hosts, type, blob;
        if (fields >> marker >> hosts >> type >> blob && marker == "@revoked" &&
            blob == keyBase64) {
            return true;
        }
    }
    return false;
}

}  // namespace orvane::ftp
