#include "exchange/transmission.h"

#include "exchange/answer.h"
#include "exchange/time_limit.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace exchange {

namespace {

constexpr unsigned kPollPauseMs = 100;

constexpr char kNoAnswerLine[] = "   !!! ERROR - NO ANSWER in 5 minutes !!!\n";

// The longest wait for room in the socket before the time limit is looked at
// again.
constexpr unsigned kSendRoomWaitMs = 100;

// Sends the whole request, however many sends the socket needs for it, within
// the time limit from `start`. 0, or the error number of the failure.
int SendWhole(platform::Socket socket, const std::string& request, std::uint32_t start) {
  std::size_t sent = 0;
  while (sent < request.size()) {
    const long taken = platform::SendSome(socket, request.data() + sent, request.size() - sent);
    if (taken < 0) {
      return platform::LastSocketError();
    }
    if (taken == 0) {
      // A server that does not read would otherwise hold the run for ever.
      if (TimeLimitPassed(start, platform::ReadTickCount())) {
        return platform::TimedOutError();
      }
      platform::AwaitSendRoom(socket, kSendRoomWaitMs);
    }
    sent += static_cast<std::size_t>(taken);
  }
  return 0;
}

// Polls the connection for an answer for up to the time limit. True only for an
// OK verdict; prints its own outcome line either way.
bool WaitAnswer(platform::Socket socket) {
  const std::uint32_t wait_start = platform::ReadTickCount();
  AnswerBuffer answer;
  for (;;) {
    // The pause comes first, so the socket is first looked at after 100 ms.
    platform::SleepMilliseconds(kPollPauseMs);
    // The room is never 0 here: a full buffer has ended the wait.
    if (platform::IsReadableNow(socket)) {
      const long received =
          platform::ReceiveSome(socket, answer.bytes + answer.fill, kAnswerCapacity - answer.fill);
      const int error = received < 0 ? platform::LastSocketError() : 0;
      switch (TakeReceive(answer, received, error)) {
        case WaitStep::kOk:
          platform::Print("   OK answer detected.\n");
          return true;
        case WaitStep::kError:
          platform::Print("   ERROR answer detected.\n");
          return false;
        case WaitStep::kNoAnswer:
          platform::Print("%s", kNoAnswerLine);
          return false;
        case WaitStep::kConnectionLost:
          platform::Print("   !!! send error %d\n", error);
          return false;
        case WaitStep::kGoOn:
          break;
      }
    }
    if (TimeLimitPassed(wait_start, platform::ReadTickCount())) {
      platform::Print("%s", kNoAnswerLine);
      return false;
    }
  }
}

}  // namespace

ExchangeOutcome SendAndAwaitVerdict(platform::Socket socket, const std::string& request) {
  const std::uint32_t send_start = platform::ReadTickCount();
  platform::Print("Step 1/2: send command to layer N...\n");
  const int send_error = SendWhole(socket, request, send_start);
  if (send_error != 0) {
    platform::Print("   !!! send error %d\n", send_error);
    return ExchangeOutcome::kSendFailed;
  }
  platform::Print("Step 2/2: wait answer for the command...\n");
  if (!WaitAnswer(socket)) {
    return ExchangeOutcome::kAnswerNotOk;
  }
  const std::uint32_t elapsed = platform::ReadTickCount() - send_start;
  platform::Print("Finish OK elapsed times(ms): %d\n", static_cast<int>(elapsed));
  return ExchangeOutcome::kOk;
}

}  // namespace exchange
