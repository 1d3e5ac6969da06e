// The messages between the program and its transfer helper over their socket: a message is a
// list of byte strings, sent as its length and then each string as its length and its bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::ftp {

using Message = std::vector<std::string>;

// Nothing either side sends comes near this; a longer length is taken for garbage.
inline constexpr std::size_t kLargestMessage = 64 * 1024;

std::string EncodeMessage(const Message& message);

enum class Taken { Whole, Partial, Garbage };

// Takes the first whole message off the front of `buffer` into `message`: Partial while more
// bytes are needed, Garbage when the bytes cannot be a message.
Taken TakeMessage(std::string& buffer, Message& message);

// Writes every byte to a socket, without SIGPIPE when the other end has gone.
bool SendAll(int fd, std::string_view bytes);

// Reads one message, blocking; nothing at the end of the stream or on garbage.
std::optional<Message> ReceiveMessage(int fd);

}  // namespace orvane::ftp
