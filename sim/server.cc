#include "sim/server.h"

#include <array>
#include <asio.hpp>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>

#include "sim/request_check.h"
#include "sim/request_log.h"

namespace sim {

namespace {

using asio::ip::tcp;

// How long a connection may take to deliver one complete request.
constexpr auto kRequestTimeLimit = std::chrono::seconds(10);
// How long an answered connection is kept open for the client to close it:
// longer than the client's five-minute wait.
constexpr auto kCloseTimeLimit = std::chrono::minutes(6);
// The pause inside the word status when the answer is split; the client looks
// at its socket every 100 ms, so it sees the first piece alone.
constexpr auto kSplitPause = std::chrono::milliseconds(500);

// How long to wait before accepting again after accepting failed.
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(100);

const char* AnswerModeName(AnswerMode mode) {
  switch (mode) {
    case AnswerMode::kJudge:
      return "judge";
    case AnswerMode::kOk:
      return "ok";
    case AnswerMode::kError:
      return "error";
    case AnswerMode::kNone:
      return "none";
    case AnswerMode::kClose:
      return "close";
    case AnswerMode::kReset:
      return "reset";
  }
  return "";
}

// What every connection shares: the options and the log file.
struct ServerState {
  const ServerOptions& options;
  std::ofstream log;
};

// One connection: collect the request, judge and report it, answer after the
// delay (or play the rehearsal fault), then wait for the client to close.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, ServerState& state)
      : socket_(std::move(socket)), timer_(socket_.get_executor()), state_(state) {}

  void Start() {
    asio::error_code ignored;
    const tcp::endpoint remote = socket_.remote_endpoint(ignored);
    peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
    timer_.expires_after(kRequestTimeLimit);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error && self->phase_ == Phase::kCollecting) {
        self->Judge("no complete JSON value arrived within 10 s");
      }
    });
    Read();
  }

 private:
  enum class Phase { kCollecting, kJudged, kAnswered, kClosed };

  // Reading goes on in every phase: it collects the request, then notices
  // the client closing.
  void Read() {
    socket_.async_read_some(
        asio::buffer(piece_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
          if (error) {
            self->PeerClosed();
            return;
          }
          if (self->phase_ != Phase::kCollecting) {
            self->ReportBytesAfterRequest();
          } else {
            self->received_.append(self->piece_.data(), size);
            if (self->received_.size() > kRequestByteLimit) {
              self->Judge("the request is larger than 1 MiB");
            } else if (IsCompleteRequest(self->received_)) {
              self->Judge("");
            }
          }
          self->Read();
        });
  }

  void PeerClosed() {
    peer_closed_ = true;
    if (phase_ == Phase::kCollecting) {
      if (received_.empty()) {
        std::cout << FormatNoRequestLine(std::chrono::system_clock::now(), peer_) << std::endl;
        Close();
      } else {
        Judge("the connection ended before the request was complete");
      }
    } else if (phase_ == Phase::kAnswered) {
      Close();
    }
  }

  // Judges what was received; a non-empty `incomplete` is why it is no
  // complete request.
  void Judge(const std::string& incomplete) {
    phase_ = Phase::kJudged;
    RequestRecord record;
    record.received_at = std::chrono::system_clock::now();
    record.peer = peer_;
    record.request = received_;
    record.verdict = CheckRequest(received_);
    if (!incomplete.empty()) {
      record.verdict.accepted = false;
      record.verdict.reason = incomplete;
    }
    record.answer = AnswerModeName(state_.options.answer);
    Report(record);
    verdict_ = record.verdict;

    timer_.cancel();
    timer_.expires_after(std::chrono::milliseconds(state_.options.delay_ms));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error && self->phase_ == Phase::kJudged) {
        self->Act();
      }
    });
  }

  void Report(const RequestRecord& record) {
    std::cout << FormatRequestLine(record) << std::endl;
    if (state_.log.is_open()) {
      state_.log << FormatLogEntry(record) << std::endl;
    }
  }

  // Once per connection: a client that sends on would fill the output.
  void ReportBytesAfterRequest() {
    if (!reported_bytes_after_request_) {
      reported_bytes_after_request_ = true;
      std::cout << FormatBytesAfterRequestLine(std::chrono::system_clock::now(), peer_)
                << std::endl;
    }
  }

  void Act() {
    switch (state_.options.answer) {
      case AnswerMode::kJudge:
        Send(EncodeAnswer(verdict_.id, verdict_.accepted, verdict_.reason));
        return;
      case AnswerMode::kOk:
        Send(EncodeAnswer(verdict_.id, true, ""));
        return;
      case AnswerMode::kError:
        Send(EncodeAnswer(verdict_.id, false, "refused on purpose for a rehearsal"));
        return;
      case AnswerMode::kNone:
        Answered();
        return;
      case AnswerMode::kClose:
        Close();
        return;
      case AnswerMode::kReset: {
        // A zero linger time makes the close abortive: the client sees a reset.
        asio::error_code ignored;
        socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        Close();
        return;
      }
    }
  }

  void Send(const std::string& answer) {
    if (!state_.options.split) {
      Write(answer, [](Session& session) { session.Answered(); });
      return;
    }
    const std::size_t inside_status = answer.find("\"status\"") + 4;
    Write(answer.substr(0, inside_status), [rest = answer.substr(inside_status)](Session& session) {
      session.timer_.expires_after(kSplitPause);
      session.timer_.async_wait(
          [self = session.shared_from_this(), rest](const asio::error_code& error) {
            if (!error && self->phase_ == Phase::kJudged) {
              self->Write(rest, [](Session& later) { later.Answered(); });
            }
          });
    });
  }

  template <typename Then>
  void Write(const std::string& bytes, Then then) {
    auto held = std::make_shared<std::string>(bytes);
    asio::async_write(
        socket_, asio::buffer(*held),
        [self = shared_from_this(), held, then](const asio::error_code& error, std::size_t) {
          if (error) {
            self->Close();
          } else if (self->phase_ == Phase::kJudged) {
            then(*self);
          }
        });
  }

  void Answered() {
    phase_ = Phase::kAnswered;
    if (peer_closed_) {
      Close();
      return;
    }
    timer_.expires_after(kCloseTimeLimit);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error) {
        self->Close();
      }
    });
  }

  void Close() {
    if (phase_ == Phase::kClosed) {
      return;
    }
    phase_ = Phase::kClosed;
    asio::error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  ServerState& state_;
  std::string peer_;
  std::array<char, 65536> piece_;
  std::string received_;
  RequestVerdict verdict_;
  Phase phase_ = Phase::kCollecting;
  bool peer_closed_ = false;
  bool reported_bytes_after_request_ = false;
};

void Accept(tcp::acceptor& acceptor, asio::steady_timer& retry, ServerState& state) {
  acceptor.async_accept(
      [&acceptor, &retry, &state](const asio::error_code& error, tcp::socket socket) {
        if (!acceptor.is_open()) {
          return;
        }
        if (!error) {
          std::make_shared<Session>(std::move(socket), state)->Start();
          Accept(acceptor, retry, state);
          return;
        }
        // Out of descriptors, say: accepting again at once would fail again
        // at once, so wait for connections to close.
        std::cerr << "larkwire-sim: can't accept a connection: " << error.message() << std::endl;
        retry.expires_after(kAcceptRetryPause);
        retry.async_wait([&acceptor, &retry, &state](const asio::error_code& wait_error) {
          if (!wait_error) {
            Accept(acceptor, retry, state);
          }
        });
      });
}

}  // namespace

int RunServer(const ServerOptions& options) {
  const std::string where = options.address + ":" + std::to_string(options.port);
  ServerState state{options, {}};
  if (!options.log_path.empty()) {
    state.log.open(options.log_path, std::ios::app);
    if (!state.log) {
      std::cout << "larkwire-sim: can't open the log file " << options.log_path << std::endl;
      return 1;
    }
  }

  asio::io_context io;
  tcp::acceptor acceptor(io);
  asio::error_code error;
  const tcp::endpoint endpoint(asio::ip::make_address(options.address, error), options.port);
  if (!error) {
    acceptor.open(endpoint.protocol(), error);
  }
  if (!error) {
    // Lets a restarted sim take its port back from connections still in
    // TIME_WAIT; a port another program listens on stays refused.
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
  }
  if (!error) {
    acceptor.bind(endpoint, error);
  }
  if (!error) {
    acceptor.listen(asio::socket_base::max_listen_connections, error);
  }
  if (error == asio::error::address_in_use) {
    std::cerr << "larkwire-sim: can't listen on " << where
              << ": the port is in use by another program" << std::endl;
    return 1;
  }
  if (error) {
    std::cerr << "larkwire-sim: can't listen on " << where << ": " << error.message() << std::endl;
    return 1;
  }

  asio::signal_set stop_signals(io, SIGINT, SIGTERM);
  stop_signals.async_wait([&](const asio::error_code& wait_error, int signal_number) {
    if (!wait_error) {
      std::cout << "larkwire-sim: stopped by signal " << signal_number << std::endl;
      asio::error_code ignored;
      acceptor.close(ignored);
      io.stop();
    }
  });

  std::cout << "larkwire-sim: listening on " << where << ", answer "
            << AnswerModeName(options.answer) << std::endl;
  asio::steady_timer accept_retry(io);
  Accept(acceptor, accept_retry, state);
  io.run();
  return 0;
}

}  // namespace sim
