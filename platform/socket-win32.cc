#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>

#include <climits>

#include "platform/socket.h"

namespace platform {

int StartSocketLibrary() {
  WSADATA description{};
  return WSAStartup(MAKEWORD(2, 2), &description);
}

void StopSocketLibrary() {
  WSACleanup();
}

int LastSocketError() {
  return WSAGetLastError();
}

Socket OpenTcpSocket() {
  const SOCKET created = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return created == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(created);
}

bool ConnectIPv4(Socket socket, std::uint32_t address, int port) {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<u_short>(port));
  server.sin_addr.s_addr = htonl(address);
  return ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&server),
                   static_cast<int>(sizeof server)) == 0;
}

long SendSome(Socket socket, const char* data, std::size_t length) {
  // send takes an int count; a longer request goes out in several calls.
  const int count = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
  // Non-blocking for this one send only: the socket stays in blocking mode.
  u_long non_blocking = 1;
  ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &non_blocking);
  const int taken = ::send(static_cast<SOCKET>(socket), data, count, 0);
  const int error = WSAGetLastError();
  u_long blocking = 0;
  ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &blocking);
  if (taken != SOCKET_ERROR) {
    return taken;
  }
  if (error == WSAEWOULDBLOCK) {
    return 0;
  }
  WSASetLastError(error);
  return -1;
}

void AwaitSendRoom(Socket socket, unsigned milliseconds) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(static_cast<SOCKET>(socket), &writable);
  fd_set failed = writable;
  timeval pause{static_cast<long>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000};
  ::select(0, nullptr, &writable, &failed, &pause);
}

int TimedOutError() {
  return WSAETIMEDOUT;
}

bool IsReadableNow(Socket socket) {
  // Winsock's fd_set is a list of handles, not a bit map, so any socket value
  // fits, and the descriptor count is ignored.
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<SOCKET>(socket), &readable);
  timeval no_wait{0, 0};
  if (::select(static_cast<int>(socket + 1), &readable, nullptr, nullptr, &no_wait) <= 0) {
    return false;
  }
  return FD_ISSET(static_cast<SOCKET>(socket), &readable) != 0;
}

long ReceiveSome(Socket socket, char* into, std::size_t room) {
  const int received = ::recv(static_cast<SOCKET>(socket), into, static_cast<int>(room), 0);
  return received == SOCKET_ERROR ? -1 : received;
}

void CloseSocket(Socket socket) {
  closesocket(static_cast<SOCKET>(socket));
}

bool IsConnectionLost(int error) {
  return error == WSAECONNRESET || error == WSAENOTCONN || error == WSAETIMEDOUT;
}

bool IsTransientError(int error) {
  return error == WSAEINTR || error == WSAEWOULDBLOCK;
}

}  // namespace platform
