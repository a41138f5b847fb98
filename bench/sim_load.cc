// Loads larkwire-sim the way a careless or hostile local program would:
//   sim_load PORT CONNECTIONS BYTES PIECE SECONDS
// opens CONNECTIONS connections to 127.0.0.1:PORT, sends each a JSON value of
// BYTES bytes in pieces of PIECE bytes, taking turns (BYTES 0: sends nothing),
// holds them until SECONDS have passed since the start, and exits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) {
      close(fd);
    }
    return -1;
  }
  // Every piece its own segment, as a slow sender's would be.
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// A value that stays a valid beginning of JSON up to its last byte, with a
// closing brace at the end of every 4-byte piece: each such piece once made
// the sim parse everything received.
std::string Value(std::size_t bytes) {
  std::string value = "[{ }";
  while (value.size() + 4 < bytes) {
    value += ",{ }";
  }
  return value + "]";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: sim_load PORT CONNECTIONS BYTES PIECE SECONDS\n");
    return 2;
  }
  const int port = static_cast<int>(std::strtol(argv[1], nullptr, 10));
  const long connections = std::strtol(argv[2], nullptr, 10);
  const std::size_t bytes = std::strtoul(argv[3], nullptr, 10);
  const std::size_t piece = std::max<std::size_t>(1, std::strtoul(argv[4], nullptr, 10));
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::seconds(std::strtol(argv[5], nullptr, 10));

  std::vector<int> fds;
  int refused = 0;
  for (long i = 0; i < connections; ++i) {
    const int fd = Connect(port);
    if (fd < 0) {
      ++refused;
    } else {
      fds.push_back(fd);
    }
  }
  const std::string value = bytes > 0 ? Value(bytes) : "";
  std::vector<std::size_t> sent(fds.size(), 0);
  std::size_t total = 0;
  bool more = !value.empty();
  while (more && std::chrono::steady_clock::now() < end) {
    more = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i] < 0 || sent[i] >= value.size()) {
        continue;
      }
      const std::size_t size = std::min(piece, value.size() - sent[i]);
      const ssize_t done = send(fds[i], value.data() + sent[i], size, MSG_NOSIGNAL);
      if (done <= 0) {
        // Closed by the sim: a refusal or its cap.
        close(fds[i]);
        fds[i] = -1;
        continue;
      }
      sent[i] += static_cast<std::size_t>(done);
      total += static_cast<std::size_t>(done);
      more = true;
    }
  }
  std::printf("sim_load: %zu connections open, %d refused, %zu bytes sent\n", fds.size(), refused,
              total);
  std::fflush(stdout);
  std::this_thread::sleep_until(end);
  for (const int fd : fds) {
    if (fd >= 0) {
      close(fd);
    }
  }
  return 0;
}
