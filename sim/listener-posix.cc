#include <sys/resource.h>

#include <algorithm>

#include "sim/listener.h"

namespace sim {

std::size_t ConnectionCap() {
  // Descriptors the sim holds besides its connections (standard streams, the
  // log, the listener, Asio's own) and one to accept with at the cap, with
  // room to spare.
  constexpr rlim_t kDescriptorHeadroom = 16;
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

void ClaimAddress(asio::ip::tcp::acceptor& listener, asio::error_code& error) {
  // On POSIX systems a port another socket listens on stays refused even so.
  listener.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
}

bool IsPortInUse(const asio::error_code& error) {
  return error == asio::error::address_in_use;
}

}  // namespace sim
