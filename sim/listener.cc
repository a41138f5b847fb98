#include "sim/listener.h"

namespace sim {

asio::error_code Listen(asio::ip::tcp::acceptor& listener,
                        const asio::ip::tcp::endpoint& endpoint) {
  asio::error_code error;
  listener.open(endpoint.protocol(), error);
  if (!error) {
    ClaimAddress(listener, error);
  }
  if (!error) {
    listener.bind(endpoint, error);
  }
  if (!error) {
    listener.listen(asio::socket_base::max_listen_connections, error);
  }
  return error;
}

}  // namespace sim
