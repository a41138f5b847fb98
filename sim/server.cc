#include "sim/server.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <chrono>
#include <iostream>
#include <list>
#include <memory>
#include <vector>

#include "sim/connection_table.h"
#include "sim/limits.h"
#include "sim/request_budget.h"
#include "sim/request_check.h"
#include "sim/request_framing.h"
#include "sim/request_log.h"
#include "sim/system.h"

namespace sim {

namespace {

using asio::ip::tcp;

// How long an answered connection stays open: the client reads the answer
// within 100 ms and closes; the rest is room for a slow client.
constexpr auto kCloseAfterAnswer = std::chrono::seconds(3);
// How long a connection that is played no answer stays open: longer than the
// client's five-minute wait, unless the room is needed.
constexpr auto kHoldWithoutAnswer = std::chrono::minutes(6);
// The pause inside the word status when the answer is split; the client looks
// at its socket every 100 ms, so it sees the first piece alone.
constexpr auto kSplitPause = std::chrono::milliseconds(500);

// The pause before accepting again after accepting failed, doubled after
// every further failure up to the longest.
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(10);
constexpr auto kLongestAcceptRetryPause = std::chrono::milliseconds(1000);

class Session;

// What every connection shares.
struct ServerState {
  explicit ServerState(const ServerOptions& given) : options(given), plan(given.answers) {}
  const ServerOptions& options;
  RequestLog log;
  ConnectionTable connections{ConnectionCap()};
  RequestBudget budget;
  AnswerPlan plan;
};

// One connection: collect the request, judge and report it, answer after the
// delay (or play the rehearsal fault), log what went out, and close soon.
class Session : public Connection, public std::enable_shared_from_this<Session> {
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
        self->Judge(TooSlowReason());
      }
    });
    Read();
  }

  bool Collecting() const override {
    return phase_ == Phase::kCollecting;
  }

  // Ends the connection at once; a judged request is logged with what went
  // out so far.
  void Stop() override {
    if (phase_ == Phase::kClosed) {
      return;
    }
    if (phase_ == Phase::kJudged) {
      state_.log.Write(FormatLogEntry(record_));
    }
    phase_ = Phase::kClosed;
    asio::error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
    Release();
    state_.connections.Remove(this);
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
          if (self->phase_ == Phase::kClosed) {
            return;
          }
          if (self->phase_ != Phase::kCollecting) {
            self->ReportBytesAfterRequest();
          } else {
            self->Collect(size);
          }
          self->Read();
        });
  }

  // Takes a piece of the request; only the new bytes are scanned for its end.
  void Collect(std::size_t size) {
    const std::size_t end = FindRequestEnd(scan_, piece_.data(), size);
    const std::size_t take = end == std::string::npos ? size : end;
    const std::size_t needed = received_.size() + take;
    if (needed > kRequestByteLimit) {
      Judge(TooLargeReason());
      return;
    }
    // Room grows by doubling, never past the limit; the budget counts room.
    const std::size_t room =
        needed <= received_.capacity()
            ? received_.capacity()
            : std::min(std::max(2 * received_.capacity(), needed), kRequestByteLimit);
    if (!state_.budget.Take(needed, room - received_.capacity())) {
      Judge(OverBudgetReason());
      return;
    }
    received_.reserve(room);
    received_.insert(received_.end(), piece_.data(), piece_.data() + take);
    if (end != std::string::npos) {
      Judge("");
      if (take < size) {
        ReportBytesAfterRequest();
      }
    }
  }

  void PeerClosed() {
    peer_closed_ = true;
    if (phase_ == Phase::kCollecting) {
      if (received_.empty()) {
        std::cout << FormatNoRequestLine(std::chrono::system_clock::now(), peer_) << std::endl;
        Stop();
      } else {
        Judge("the connection ended before the request was complete");
      }
    } else if (phase_ == Phase::kAnswered) {
      Stop();
    }
  }

  // Judges what was received; a non-empty `incomplete` is why it is no
  // complete request. The request bytes are let go here.
  void Judge(const std::string& incomplete) {
    phase_ = Phase::kJudged;
    mode_ = state_.plan.Next();
    record_.received_at = std::chrono::system_clock::now();
    record_.peer = peer_;
    record_.request.assign(received_.data(), std::min(received_.size(), kLoggedRequestBytes));
    record_.request_bytes = received_.size();
    // Bytes that hold no complete object tell nothing: they are not parsed.
    record_.verdict = incomplete.empty()
                          ? CheckRequest(std::string(received_.begin(), received_.end()))
                          : RequestVerdict{};
    if (!incomplete.empty()) {
      record_.verdict.reason = incomplete;
    }
    record_.answer = AnswerModeName(mode_);
    Release();
    std::cout << FormatRequestLine(record_) << std::endl;

    timer_.cancel();
    timer_.expires_after(std::chrono::milliseconds(state_.options.delay_ms));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error && self->phase_ == Phase::kJudged) {
        self->Act();
      }
    });
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
    const RequestVerdict& verdict = record_.verdict;
    switch (mode_) {
      case AnswerMode::kJudge:
        Send(EncodeAnswer(verdict.id, verdict.accepted, verdict.reason));
        return;
      case AnswerMode::kOk:
        Send(EncodeAnswer(verdict.id, true, ""));
        return;
      case AnswerMode::kError:
        Send(EncodeAnswer(verdict.id, false, "refused on purpose for a rehearsal"));
        return;
      case AnswerMode::kNone:
        Answered();
        return;
      case AnswerMode::kClose:
        Stop();
        return;
      case AnswerMode::kReset: {
        // A zero linger time makes the close abortive: the client sees a reset.
        asio::error_code ignored;
        socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        Stop();
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
        [self = shared_from_this(), held, then](const asio::error_code& error, std::size_t sent) {
          if (self->phase_ != Phase::kJudged) {
            return;
          }
          self->record_.sent += held->substr(0, sent);
          if (error) {
            self->Stop();
          } else {
            then(*self);
          }
        });
  }

  void Answered() {
    state_.log.Write(FormatLogEntry(record_));
    phase_ = Phase::kAnswered;
    if (peer_closed_) {
      Stop();
      return;
    }
    timer_.expires_after(mode_ == AnswerMode::kNone ? kHoldWithoutAnswer : kCloseAfterAnswer);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error) {
        self->Stop();
      }
    });
  }

  // Lets the request bytes go: nothing reads them after the judgement.
  void Release() {
    state_.budget.GiveBack(received_.capacity());
    std::vector<char>().swap(received_);
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  ServerState& state_;
  std::string peer_;
  // Small: every open connection has one. A large request takes more reads.
  std::array<char, 4096> piece_;
  RequestScan scan_;
  std::vector<char> received_;  // a vector: its room is exactly what is reserved
  AnswerMode mode_ = AnswerMode::kJudge;
  RequestRecord record_;
  Phase phase_ = Phase::kCollecting;
  bool peer_closed_ = false;
  bool reported_bytes_after_request_ = false;
};

struct Acceptor {
  tcp::acceptor socket;
  asio::steady_timer retry;
  std::chrono::milliseconds pause = kAcceptRetryPause;
  int failures = 0;  // in a row
};

void Accept(Acceptor& acceptor, ServerState& state) {
  acceptor.socket.async_accept(
      [&acceptor, &state](const asio::error_code& error, tcp::socket socket) {
        if (!acceptor.socket.is_open()) {
          return;
        }
        if (!error) {
          if (acceptor.failures > 0) {
            std::cerr << "larkwire-sim: accepting connections again after " << acceptor.failures
                      << " failed attempts" << std::endl;
            acceptor.failures = 0;
            acceptor.pause = kAcceptRetryPause;
          }
          const auto session = std::make_shared<Session>(std::move(socket), state);
          session->Start();
          state.connections.Add(session);
          Accept(acceptor, state);
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
        acceptor.retry.async_wait([&acceptor, &state](const asio::error_code& wait_error) {
          if (!wait_error) {
            Accept(acceptor, state);
          }
        });
      });
}

}  // namespace

int RunServer(const ServerOptions& options) {
  const std::string where = options.address + ":" + std::to_string(options.port);
  ServerState state(options);
  if (!options.log_path.empty() && !state.log.Open(options.log_path)) {
    return 1;
  }

  asio::io_context io;
  Acceptor acceptor{tcp::acceptor(io), asio::steady_timer(io)};
  asio::error_code error;
  const tcp::endpoint endpoint(asio::ip::make_address(options.address, error), options.port);
  if (!endpoint.address().is_loopback()) {
    std::cerr << "larkwire-sim: warning: " << options.address
              << " is not a loopback address; the sim has no authentication, and anyone who "
                 "reaches the port can send it requests"
              << std::endl;
  }
  if (!error) {
    acceptor.socket.open(endpoint.protocol(), error);
  }
  if (!error) {
    ClaimAddress(acceptor.socket, error);
  }
  if (!error) {
    acceptor.socket.bind(endpoint, error);
  }
  if (!error) {
    acceptor.socket.listen(asio::socket_base::max_listen_connections, error);
  }
  if (error && IsPortInUse(error)) {
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
      // Judged requests still waiting for their answer are logged as such.
      state.connections.StopAll();
      std::cout << "larkwire-sim: stopped by signal " << signal_number << std::endl;
      asio::error_code ignored;
      acceptor.socket.close(ignored);
      io.stop();
    }
  });

  std::cout << "larkwire-sim: listening on " << options.address << ":"
            << acceptor.socket.local_endpoint(error).port() << ", answer "
            << AnswerPlanText(options.answers) << std::endl;
  Accept(acceptor, state);
  io.run();
  return 0;
}

}  // namespace sim
