// A loopback server for the start-up benchmark: it answers every connection at
// once with an OK answer as soon as the first request byte arrives, reads on
// until the client closes, then takes the next connection. It serves
// Larkwire, the protocol's floor and `nc -N` alike, and adds as little as a
// server can to nc's whole exchange.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kOkAnswer[] = "{\"status\":\"Ok\"}";

int ListenOnLoopback(int port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int reuse = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 128) != 0) {
    std::perror("answering_peer: bind/listen");
    std::exit(1);
  }
  return listener;
}

void Serve(int connection) {
  static char piece[1 << 16];
  bool answered = false;
  while (recv(connection, piece, sizeof piece, 0) > 0) {
    if (!answered) {
      send(connection, kOkAnswer, sizeof kOkAnswer - 1, MSG_NOSIGNAL);
      answered = true;
    }
  }
  close(connection);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: answering_peer PORT\n");
    return 2;
  }
  const int listener = ListenOnLoopback(static_cast<int>(std::strtol(argv[1], nullptr, 10)));
  for (;;) {
    const int connection = accept(listener, nullptr, nullptr);
    if (connection >= 0) {
      Serve(connection);
    }
  }
}
