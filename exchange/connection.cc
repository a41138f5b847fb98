#include "exchange/connection.h"

#include "platform/console.h"

namespace exchange {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::uint32_t AddressFromText(const char* text) {
  std::uint32_t address = 0;
  const char* at = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *at++ != '.') {
      return kNoAddress;
    }
    // A leading zero is refused, not read as decimal: other programs read
    // it as octal, so such a text would name another host to them.
    if (!IsDigit(*at) || (at[0] == '0' && IsDigit(at[1]))) {
      return kNoAddress;
    }
    std::uint32_t number = 0;
    for (; IsDigit(*at); ++at) {
      number = number * 10 + static_cast<std::uint32_t>(*at - '0');
      if (number > 255) {
        return kNoAddress;
      }
    }
    address = address << 8 | number;
  }
  return *at == '\0' ? address : kNoAddress;
}

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
  if (!platform::ConnectIPv4(socket, AddressFromText(ip_text), port)) {
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
