// A loopback server for the benchmarks: it answers every connection at once
// with an OK answer as soon as the first request byte arrives (or, with
// --silent, never answers), reads on until the client closes, then takes the
// next connection. It serves Larkwire and `nc -N` alike.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void Serve(int connection, bool silent) {
  static char piece[1 << 16];
  bool answered = silent;
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
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--silent") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: answering_peer PORT [--silent]\n");
    return 2;
  }
  const bool silent = argc == 3;
  const int listener = ListenOnLoopback(static_cast<int>(std::strtol(argv[1], nullptr, 10)));
  for (;;) {
    const int connection = accept(listener, nullptr, nullptr);
    if (connection >= 0) {
      Serve(connection, silent);
    }
  }
}
