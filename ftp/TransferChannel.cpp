// The length-prefixed messages of the transfer helper's socket.
#include "ftp/TransferChannel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace orvane::ftp {

namespace {

void AppendLength(std::string& out, std::size_t length) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((length >> shift) & 0xff);
    }
}

std::size_t LengthAt(std::string_view bytes, std::size_t at) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length = (length << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return length;
}

// The fields of a message's body, or nothing when they do not fill it exactly.
std::optional<Message> Fields(std::string_view body) {
    Message fields;
    std::size_t at = 0;
    while (at < body.size()) {
        if (body.size() - at < 4) return std::nullopt;
        const std::size_t length = LengthAt(body, at);
        at += 4;
        if (length > body.size() - at) return std::nullopt;
        fields.emplace_back(body.substr(at, length));
        at += length;
    }
    return fields;
}

}  // namespace

std::string EncodeMessage(const Message& message) {
    std::string body;
    for (const std::string& field : message) {
        AppendLength(body, field.size());
        body += field;
    }
    std::string out;
    AppendLength(out, body.size());
    return out + body;
}

Taken TakeMessage(std::string& buffer, Message& message) {
    if (buffer.size() < 4) return Taken::Partial;
    const std::size_t length = LengthAt(buffer, 0);
    if (length > kLargestMessage) return Taken::Garbage;
    if (buffer.size() - 4 < length) return Taken::Partial;
    auto fields = Fields(std::string_view(buffer).substr(4, length));
    if (!fields || fields->empty()) return Taken::Garbage;
    message = std::move(*fields);
    buffer.erase(0, 4 + length);
    return Taken::Whole;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::optional<Message> ReceiveMessage(int fd) {
    std::string buffer;
    Message message;
    for (;;) {
        switch (TakeMessage(buffer, message)) {
            case Taken::Whole: return message;
            case Taken::Garbage: return std::nullopt;
            case Taken::Partial: break;
        }
        char chunk[4096];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

}  // namespace orvane::ftp
