#include "exchange/connection.h"

#include "platform/console.h"

namespace exchange {

Connection OpenConnection(const char* ip_text, int port) {
  const int startup_error = platform::StartSocketLibrary();
  if (startup_error > 0) {
    platform::Print("Can't initialize socket library with Error = %d", startup_error);
    return {ConnectOutcome::kSocketLibraryFailed, platform::kInvalidSocket};
  }
  const platform::Socket socket = platform::OpenTcpSocket();
  if (socket == platform::kInvalidSocket) {
    platform::Print("ERROR: can't create TCP/IP socket with ERROR=%d\n",
                    platform::LastSocketError());
    platform::StopSocketLibrary();
    return {ConnectOutcome::kConnectFailed, platform::kInvalidSocket};
  }
  if (!platform::ConnectIPv4(socket, ip_text, port)) {
    const int error = platform::LastSocketError();
    platform::Print("ERROR: connect(%s:%d) ERROR=%d\n", ip_text, port, error);
    CloseConnection(socket);
    return {ConnectOutcome::kConnectFailed, platform::kInvalidSocket};
  }
  return {ConnectOutcome::kConnected, socket};
}

void CloseConnection(platform::Socket socket) {
  platform::CloseSocket(socket);
  platform::StopSocketLibrary();
}

}  // namespace exchange
