#pragma once

#include <asio/error_code.hpp>
#include <asio/ip/tcp.hpp>
#include <cstddef>

#include "sim/limits.h"

namespace sim {

// The listen steps: opens the listener, claims the address, binds and
// listens; port 0 takes a free port in 20000..55555, which the client can
// reach. The error of the step that failed; none when listening.
asio::error_code Listen(asio::ip::tcp::acceptor& listener, const asio::ip::tcp::endpoint& endpoint);

// What differs per platform (listener-*.cc):

// Sets the listener's address option before it binds: no other program can
// listen on the same port beside the sim; on POSIX systems a restarted sim
// also takes its port back from connections still closing.
void ClaimAddress(asio::ip::tcp::acceptor& listener, asio::error_code& error);

// Whether a failed bind means that another program holds the port.
bool IsPortInUse(const asio::error_code& error);

// How many connections the sim keeps open at once: kMostConnections, or
// fewer with room to spare below the process's descriptor limit.
std::size_t ConnectionCap();

}  // namespace sim
