#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "sim/system.h"

namespace sim {

namespace {

// Descriptors the sim holds besides its connections (standard streams, the
// log, the listener, Asio's own) and one to accept with at the cap, with
// room to spare.
constexpr rlim_t kDescriptorHeadroom = 16;

}  // namespace

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // open() takes the lowest free number, which is this one.
      open("/dev/null", O_RDWR);
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
}

std::size_t ConnectionCap() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return kMostConnections;
  }
  if (limit.rlim_cur <= kDescriptorHeadroom) {
    return 1;
  }
  return static_cast<std::size_t>(
      std::min<rlim_t>(limit.rlim_cur - kDescriptorHeadroom, kMostConnections));
}

void ClaimAddress(asio::ip::tcp::acceptor& acceptor, asio::error_code& error) {
  // On POSIX systems a port another socket listens on stays refused even so.
  acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
}

bool IsPortInUse(const asio::error_code& error) {
  return error == asio::error::address_in_use;
}

}  // namespace sim
