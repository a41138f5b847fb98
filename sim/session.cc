#include "sim/session.h"

#include <array>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <iostream>
#include <string>
#include <utility>

#include "sim/limits.h"
#include "sim/request_check.h"
#include "sim/request_framing.h"

namespace sim {

namespace {

using asio::ip::tcp;

// How long an answered connection stays open: the client reads the answer
// within 100 ms and closes; the rest is room for a slow client.
constexpr std::chrono::seconds kCloseAfterAnswer(3);
// How long a connection that is played no answer stays open: longer than the
// client's five-minute wait, unless the room is needed.
constexpr std::chrono::minutes kHoldWithoutAnswer(6);
// The pause inside the word status when the answer is split; the client looks
// at its socket every 100 ms, so it sees the first piece alone.
constexpr std::chrono::milliseconds kSplitPause(500);

const std::string kSilenceNote =
    "sent nothing within " + std::to_string(kFirstByteTimeLimit.count()) + " min and was closed";
const std::string kTooSlowReason =
    "no complete JSON value arrived within " + std::to_string(kRequestTimeLimit.count()) + " s";
const std::string kTooLargeReason =
    "the request is larger than " + std::to_string(kRequestByteLimit / kMiB) + " MiB";
const std::string kOverBudgetReason = "the sim holds " + std::to_string(kHeldRequestBudget / kMiB) +
                                      " MiB of other requests; try again later";

// One connection, the protocol alone. Its phases, and what its one deadline
// is in each:
//
//   collecting  6 minutes for the first byte, then the 10 s a request may
//       |       take from it.
//       |  the request complete, too large, over the budget or cut short, or
//       |  the deadline passed with bytes received: judged, one turn of the
//       |  answer plan
//       v
//   judged      the --delay before the answer or the fault; then, for a split
//       |       answer, the pause between its two pieces.
//       |  the answer written, or none played
//       v
//   answered    3 s, or 6 minutes after no answer.
//       |  the deadline passed, or the client closed
//       v
//   closed      none.
//
// Stop leads from any phase to closed: no byte before the client closed or
// the deadline passed (no request, so no turn of the plan), a failed write,
// the close and reset faults, eviction at the cap, a signal. Reading goes on
// until closed: it collects the request, then notices bytes after it and the
// client closing.
class Session : public Connection, public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, SessionShare& share) : socket_(std::move(socket)), share_(share) {}

  void Start() {
    asio::error_code ignored;
    const tcp::endpoint remote = socket_.remote_endpoint(ignored);
    record_.peer = remote.address().to_string() + ":" + std::to_string(remote.port());
    ArmCollecting(kFirstByteTimeLimit);
    Read();
    share_.connections.Add(shared_from_this());
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
      share_.log.Write(FormatLogEntry(record_));
    }
    phase_ = Phase::kClosed;
    Disarm();
    asio::error_code ignored;
    socket_.close(ignored);
    Release();
    share_.connections.Remove(this);
  }

 private:
  enum class Phase { kCollecting, kJudged, kAnswered, kClosed };

  // Sets the deadline anew: `then` runs when it passes, unless the deadline
  // has been set anew or disarmed meanwhile. The session is held till then.
  template <typename Then>
  void Arm(std::chrono::milliseconds after, Then then) {
    deadline_.expires_after(after);
    deadline_.async_wait(
        [self = shared_from_this(), then, armed = ++armings_](const asio::error_code& error) {
          if (!error && self->armings_ == armed) {
            then();
          }
        });
  }

  // The deadline while the request is collected: what came by then is
  // judged as too slow, and a connection that sent nothing is closed.
  void ArmCollecting(std::chrono::milliseconds after) {
    Arm(after, [this] { EndCollecting(kSilenceNote, kTooSlowReason); });
  }

  void Disarm() {
    deadline_.cancel();
    ++armings_;  // a wait that has passed but not yet run does nothing
  }

  void Read() {
    socket_.async_read_some(
        asio::buffer(piece_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
          if (error) {
            self->PeerClosed();
          } else if (self->phase_ != Phase::kClosed) {
            const std::size_t taken = self->phase_ == Phase::kCollecting ? self->Collect(size) : 0;
            // The rest of a request refused before its end is no news.
            if (taken < size && self->request_ended_) {
              self->ReportBytesAfterRequest();
            }
            self->Read();
          }
        });
  }

  // Takes a piece of the request; only the new bytes are scanned for its end.
  // Returns how many bytes of the piece the request took: any after them were
  // sent after a complete request.
  std::size_t Collect(std::size_t size) {
    if (arrived_ == 0) {
      // The request has begun: from now on it has the time a request takes.
      ArmCollecting(kRequestTimeLimit);
    }
    const std::size_t end = FindRequestEnd(scan_, piece_.data(), size);
    const std::size_t take = end == std::string::npos ? size : end;
    arrived_ += take;
    const std::size_t needed = received_.size() + take;
    const bool too_large = needed > kRequestByteLimit;
    // Room grows by doubling, never past the limit; the budget counts room.
    const std::size_t held = received_.capacity();
    const std::size_t room =
        needed <= held ? held : std::min(std::max(2 * held, needed), kRequestByteLimit);
    if (too_large || !share_.budget.Take(needed, room - held)) {
      Judge(too_large ? kTooLargeReason : kOverBudgetReason);
      return size;
    }
    received_.reserve(room);
    received_.insert(received_.end(), piece_.data(), piece_.data() + take);
    if (end != std::string::npos) {
      request_ended_ = true;
      Judge("");
    }
    return take;
  }

  void PeerClosed() {
    peer_closed_ = true;
    if (phase_ == Phase::kCollecting) {
      EndCollecting("closed the connection without sending a request",
                    "the connection ended before the request was complete");
    } else if (phase_ == Phase::kAnswered) {
      Stop();
    }
  }

  // The request was not complete in time, or the client closed: what came is
  // judged, `incomplete` saying why. A connection that delivered no byte is no
  // request: it is closed with `silent` told and takes no turn of the answer
  // plan.
  void EndCollecting(const std::string& silent, const std::string& incomplete) {
    if (arrived_ > 0) {
      Judge(incomplete);
      return;
    }
    std::cout << FormatConnectionLine(record_.peer, silent) << std::endl;
    Stop();
  }

  // Judges what was received; a non-empty `incomplete` is why it is no
  // complete request. The request bytes are let go here.
  void Judge(const std::string& incomplete) {
    phase_ = Phase::kJudged;
    mode_ = share_.plan.Next();
    record_.received_at = std::chrono::system_clock::now();
    record_.request.assign(received_.data(), std::min(received_.size(), kLoggedRequestBytes));
    record_.request_bytes = arrived_;
    // Bytes that hold no complete object tell nothing: they are not parsed.
    record_.verdict.reason = incomplete;
    if (incomplete.empty()) {
      record_.verdict = CheckRequest(std::string(received_.begin(), received_.end()));
    }
    record_.answer = AnswerPlanText({mode_});
    Release();
    std::cout << FormatRequestLine(record_) << std::endl;
    Arm(share_.delay, [this] { PlayAnswerMode(); });
  }

  // Once per connection: a client that sends on would fill the output.
  void ReportBytesAfterRequest() {
    if (!std::exchange(reported_bytes_after_request_, true)) {
      std::cout << FormatConnectionLine(record_.peer, "sent more bytes after its request")
                << std::endl;
    }
  }

  void PlayAnswerMode() {
    const RequestVerdict& verdict = record_.verdict;
    switch (mode_) {
      case AnswerMode::kJudge:
        Send(EncodeAnswer(verdict.id, verdict.accepted, verdict.reason));
        break;
      case AnswerMode::kOk:
        Send(EncodeAnswer(verdict.id, true, ""));
        break;
      case AnswerMode::kError:
        Send(EncodeAnswer(verdict.id, false, "refused on purpose for a rehearsal"));
        break;
      case AnswerMode::kNone:
        Answered();
        break;
      case AnswerMode::kClose:
      case AnswerMode::kReset: {
        // Lingering for no time makes the close abortive: the client sees a
        // reset. Without lingering it is the usual close.
        asio::error_code ignored;
        socket_.set_option(asio::socket_base::linger(mode_ == AnswerMode::kReset, 0), ignored);
        Stop();
        break;
      }
    }
  }

  // A split answer is parted inside the word status.
  void Send(const std::string& answer) {
    const std::size_t cut = share_.split ? answer.find("\"status\"") + 4 : answer.size();
    rest_ = answer.substr(cut);
    Write(answer.substr(0, cut));
  }

  void Write(std::string piece) {
    writing_ = std::move(piece);
    asio::async_write(socket_, asio::buffer(writing_),
                      [self = shared_from_this()](const asio::error_code& error, std::size_t sent) {
                        // Closed meanwhile, it has been logged; stopping again does nothing.
                        self->record_.sent += self->writing_.substr(0, sent);
                        if (error || self->phase_ == Phase::kClosed) {
                          self->Stop();
                        } else if (self->rest_.empty()) {
                          self->Answered();
                        } else {
                          self->Arm(kSplitPause,
                                    [self] { self->Write(std::exchange(self->rest_, "")); });
                        }
                      });
  }

  void Answered() {
    share_.log.Write(FormatLogEntry(record_));
    phase_ = Phase::kAnswered;
    if (peer_closed_) {
      Stop();
      return;
    }
    Arm(mode_ == AnswerMode::kNone ? kHoldWithoutAnswer : kCloseAfterAnswer, [this] { Stop(); });
  }

  // Lets the request bytes go: nothing reads them after the judgement.
  void Release() {
    share_.budget.GiveBack(received_.capacity());
    std::vector<char>().swap(received_);
  }

  tcp::socket socket_;
  asio::steady_timer deadline_{socket_.get_executor()};
  unsigned armings_ = 0;  // how often the deadline was set or disarmed
  SessionShare& share_;
  // Small: every open connection has one. A large request takes more reads.
  std::array<char, 4096> piece_;
  RequestScan scan_;
  std::vector<char> received_;  // a vector: its room is exactly what is reserved
  std::size_t arrived_ = 0;     // request bytes that arrived, kept or not
  bool request_ended_ = false;  // its root object or array closed
  AnswerMode mode_ = AnswerMode::kJudge;
  RequestRecord record_;
  std::string writing_;  // the piece of the answer on its way
  std::string rest_;     // the piece that follows after the split pause
  Phase phase_ = Phase::kCollecting;
  bool peer_closed_ = false;
  bool reported_bytes_after_request_ = false;
};

}  // namespace

void StartSession(tcp::socket socket, SessionShare& share) {
  std::make_shared<Session>(std::move(socket), share)->Start();
}

}  // namespace sim
