#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace exchange {

// The all-ones address: what any text that is not an address connects to.
constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;

// The address (host byte order) of text that is exactly four dot-separated
// decimal numbers 0..255, each without leading zeros ("127.0.0.1"); for any
// other text (shortened, octal, hexadecimal or zero-padded forms, blanks, host
// names) kNoAddress. Nothing is looked up.
std::uint32_t AddressFromText(const char* text);

enum class ConnectOutcome { kConnected, kSocketLibraryFailed, kConnectFailed };

struct Connection {
  ConnectOutcome outcome;
  platform::Socket socket;
};

// Starts the socket layer and connects once to the server. On failure the
// message is printed, and nothing stays open.
Connection OpenConnection(const char* ip_text, int port);

// Closes the socket and shuts the socket layer down; prints nothing.
void CloseConnection(platform::Socket socket);

}  // namespace exchange
