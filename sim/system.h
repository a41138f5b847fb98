#pragma once

#include <asio/error_code.hpp>
#include <asio/ip/tcp.hpp>
#include <cstddef>

#include "sim/limits.h"

namespace sim {

// How many connections the sim keeps open at once: kMostConnections, or
// fewer with room to spare below the process's descriptor limit.
std::size_t ConnectionCap();

// Sets the listener's address option before it binds: no other program can
// listen on the same port beside the sim; on POSIX systems a restarted sim
// also takes its port back from connections still closing.
void ClaimAddress(asio::ip::tcp::acceptor& acceptor, asio::error_code& error);

// Whether a failed bind means that another program holds the port.
bool IsPortInUse(const asio::error_code& error);

}  // namespace sim
