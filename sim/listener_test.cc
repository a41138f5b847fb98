#include "sim/listener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>

TEST(Listen, PortZeroTakesFreePortsTheClientCanReachNotTheSystemsPick) {
  asio::io_context io;
  unsigned short lowest = 55555;
  for (int i = 0; i < 200; ++i) {
    asio::ip::tcp::acceptor listener(io);
    const asio::error_code error = sim::Listen(listener, {asio::ip::make_address("127.0.0.1"), 0});
    ASSERT_FALSE(error) << error.message();
    const unsigned short port = listener.local_endpoint().port();
    EXPECT_TRUE(port >= 20000 && port <= 55555) << port;
    lowest = std::min(lowest, port);
  }
  // The system picks from its ephemeral range (Linux: 32768 up, Windows:
  // 49152 up); among 200 ports of 20000..55555 some lie below it.
  EXPECT_LT(lowest, 32768);
}
