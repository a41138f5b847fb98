#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

#ifdef _WIN32
using Socket = std::uintptr_t;
constexpr Socket kInvalidSocket = ~static_cast<Socket>(0);
#else
using Socket = int;
constexpr Socket kInvalidSocket = -1;
#endif

// Makes the socket layer usable: 0, or the start-up's error number.
int StartSocketLibrary();
void StopSocketLibrary();

// The error number of the last failed socket call on this thread.
int LastSocketError();

// A new IPv4 TCP socket in blocking mode, or kInvalidSocket.
Socket OpenTcpSocket();

// Connects once to the IPv4 address (in host byte order) and port. False on
// failure.
bool ConnectIPv4(Socket socket, std::uint32_t address, int port);

// One send that never blocks: the count of bytes taken, 0 when the socket has
// no room for any now, or -1 on failure. Never raises a signal when the peer
// has gone.
long SendSome(Socket socket, const char* data, std::size_t length);

// Waits until the socket has room for sending, a pending error, or at most
// `milliseconds` have gone.
void AwaitSendRoom(Socket socket, unsigned milliseconds);

// The socket layer's error number for an operation that timed out.
int TimedOutError();

// Whether a receive would not block now (data, end of stream or a pending
// error); false also when the poll itself fails. Never waits.
bool IsReadableNow(Socket socket);

// One receive: the count of bytes placed, 0 at the end of the stream (or for
// no room), or -1 on failure.
long ReceiveSome(Socket socket, char* into, std::size_t room);

void CloseSocket(Socket socket);

// The receive errors that mean the connection is lost for good: reset by the
// peer, not connected, timed out.
bool IsConnectionLost(int error);

// The receive errors after which a later receive may still bring data: the
// call was interrupted, or would have blocked.
bool IsTransientError(int error);

}  // namespace platform
