#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/socket.h"

namespace platform {

int StartSocketLibrary() {
  return 0;
}

void StopSocketLibrary() {}

int LastSocketError() {
  return errno;
}

Socket OpenTcpSocket() {
  return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

bool ConnectIPv4(Socket socket, std::uint32_t address, int port) {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(port));
  server.sin_addr.s_addr = htonl(address);
  return ::connect(socket, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0;
}

long SendSome(Socket socket, const char* data, std::size_t length) {
  const ssize_t taken = ::send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (taken < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    return 0;
  }
  return static_cast<long>(taken);
}

void AwaitSendRoom(Socket socket, unsigned milliseconds) {
  pollfd entry{socket, POLLOUT, 0};
  ::poll(&entry, 1, static_cast<int>(milliseconds));
}

int TimedOutError() {
  return ETIMEDOUT;
}

bool IsReadableNow(Socket socket) {
  pollfd entry{socket, POLLIN, 0};
  if (::poll(&entry, 1, 0) <= 0) {
    return false;
  }
  // A reset or closed connection is readable too: the receive then reports it.
  return (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

long ReceiveSome(Socket socket, char* into, std::size_t room) {
  return static_cast<long>(::recv(socket, into, room, 0));
}

void CloseSocket(Socket socket) {
  ::close(socket);
}

bool IsConnectionLost(int error) {
  return error == ECONNRESET || error == ENOTCONN || error == ETIMEDOUT;
}

bool IsTransientError(int error) {
  return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace platform
