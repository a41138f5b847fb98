#include "sim/server.h"

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>
#include <csignal>
#include <iostream>

#include "sim/listener.h"
#include "sim/session.h"

namespace sim {

namespace {

using asio::ip::tcp;

// The pause before accepting again after accepting failed, doubled after
// every further failure up to the longest.
constexpr std::chrono::milliseconds kAcceptRetryPause(10);
constexpr std::chrono::milliseconds kLongestAcceptRetryPause(1000);

struct Acceptor {
  tcp::acceptor socket;
  asio::steady_timer retry;
  std::chrono::milliseconds pause = kAcceptRetryPause;
  int failures = 0;  // in a row
};

void Accept(Acceptor& acceptor, SessionShare& share) {
  acceptor.socket.async_accept(
      [&acceptor, &share](const asio::error_code& error, tcp::socket socket) {
        if (!error) {
          if (acceptor.failures > 0) {
            std::cerr << "larkwire-sim: accepting connections again after " << acceptor.failures
                      << " failed attempts" << std::endl;
            acceptor.failures = 0;
            acceptor.pause = kAcceptRetryPause;
          }
          StartSession(std::move(socket), share);
          Accept(acceptor, share);
          return;
        }
        // Out of descriptors, say: accepting again at once would fail again at
        // once, so wait for connections to close, longer each time.
        if (acceptor.failures++ == 0) {
          std::cerr << "larkwire-sim: can't accept a connection: " << error.message()
                    << "; trying again" << std::endl;
        }
        acceptor.retry.expires_after(acceptor.pause);
        acceptor.pause = std::min(2 * acceptor.pause, kLongestAcceptRetryPause);
        // Nothing cancels the wait: it ends only when the pause has passed.
        acceptor.retry.async_wait(
            [&acceptor, &share](const asio::error_code&) { Accept(acceptor, share); });
      });
}

}  // namespace

int RunServer(const ServerOptions& options) {
  SessionShare share{std::chrono::milliseconds(options.delay_ms),
                     options.split,
                     ConnectionTable(ConnectionCap()),
                     {},
                     {options.answers},
                     {}};
  if (!options.log_path.empty() && !share.log.Open(options.log_path)) {
    return 1;
  }

  asio::io_context io;
  Acceptor acceptor{tcp::acceptor(io), asio::steady_timer(io)};
  // The command line has made sure the address is one.
  const tcp::endpoint endpoint(asio::ip::make_address(options.address), options.port);
  if (!endpoint.address().is_loopback()) {
    std::cerr << "larkwire-sim: warning: " << options.address
              << " is not a loopback address; the sim has no authentication, and anyone who "
                 "reaches the port can send it requests"
              << std::endl;
  }
  asio::error_code error = Listen(acceptor.socket, endpoint);
  if (error) {
    std::cerr << "larkwire-sim: can't listen on " << options.address << ":" << options.port << ": "
              << (IsPortInUse(error) ? "the port is in use by another program" : error.message())
              << std::endl;
    return 1;
  }

  asio::signal_set stop_signals(io, SIGINT, SIGTERM);
  // Nothing cancels the wait: it ends only with a signal.
  stop_signals.async_wait([&](const asio::error_code&, int signal_number) {
    // Judged requests still waiting for their answer are logged as such.
    share.connections.StopAll();
    std::cout << "larkwire-sim: stopped by signal " << signal_number << std::endl;
    io.stop();
  });

  std::cout << "larkwire-sim: listening on " << options.address << ":"
            << acceptor.socket.local_endpoint(error).port() << ", answer "
            << AnswerPlanText(options.answers) << std::endl;
  Accept(acceptor, share);
  io.run();
  return 0;
}

}  // namespace sim
