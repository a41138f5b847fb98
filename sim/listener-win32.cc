#include "sim/listener.h"

namespace sim {

std::size_t ConnectionCap() {
  // Sockets are no descriptors here: no process limit to stay under.
  return kMostConnections;
}

void ClaimAddress(asio::ip::tcp::acceptor& listener, asio::error_code& error) {
  // Windows lets a second socket with SO_REUSEADDR share a listening port
  // without a word; exclusive use makes the second bind fail.
  listener.set_option(asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true),
                      error);
}

bool IsPortInUse(const asio::error_code& error) {
  // A port held for exclusive use is refused as access denied.
  return error == asio::error::address_in_use || error == asio::error::access_denied;
}

}  // namespace sim
