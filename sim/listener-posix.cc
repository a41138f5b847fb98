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
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return kMostConnections;
  }
  // At least one, however low the limit; no limit (RLIM_INFINITY) gives the
  // most.
  const rlim_t usable = std::clamp<rlim_t>(limit.rlim_cur, kDescriptorHeadroom + 1,
                                           kDescriptorHeadroom + kMostConnections);
  return static_cast<std::size_t>(usable - kDescriptorHeadroom);
}

void ClaimAddress(asio::ip::tcp::acceptor& listener, asio::error_code& error) {
  // On POSIX systems a port another socket listens on stays refused even so.
  listener.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
}

bool IsPortInUse(const asio::error_code& error) {
  return error == asio::error::address_in_use;
}

}  // namespace sim
