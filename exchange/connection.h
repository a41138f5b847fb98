#pragma once

#include "platform/socket.h"

namespace exchange {

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
