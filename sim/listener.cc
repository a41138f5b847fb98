#include "sim/listener.h"

#include <random>

namespace sim {

// Port 0 takes a free port among these, tried at random: the client takes
// ports up to 55555, and the system's own pick may lie above (Windows:
// 49152..65535).
constexpr unsigned short kLowestFreePort = 20000;
constexpr unsigned short kHighestFreePort = 55555;
constexpr int kFreePortTries = 100;

asio::error_code Listen(asio::ip::tcp::acceptor& listener,
                        const asio::ip::tcp::endpoint& endpoint) {
  std::minstd_rand random(std::random_device{}());
  std::uniform_int_distribution<unsigned short> free_ports(kLowestFreePort, kHighestFreePort);
  asio::error_code error;
  for (int tries = 1;; ++tries) {
    const asio::ip::tcp::endpoint where(
        endpoint.address(), endpoint.port() == 0 ? free_ports(random) : endpoint.port());
    listener.open(where.protocol(), error);
    if (!error) {
      ClaimAddress(listener, error);
    }
    if (!error) {
      listener.bind(where, error);
    }
    if (!error) {
      listener.listen(asio::socket_base::max_listen_connections, error);
    }
    if (!error || endpoint.port() != 0 || !IsPortInUse(error) || tries == kFreePortTries) {
      return error;
    }
    // The next try opens it anew and sets the error afresh.
    listener.close(error);
  }
}

}  // namespace sim
