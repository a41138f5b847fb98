#include "exchange/transmission.h"

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

}  // namespace

bool WaitAnswer(platform::Socket socket, char (&answer_buffer)[kAnswerCapacity + 1]) {
  const std::uint32_t wait_start = platform::ReadTickCount();
  int fill = 0;
  for (;;) {
    // The pause comes first, so the socket is first looked at after 100 ms.
    platform::SleepMilliseconds(kPollPauseMs);
    if (platform::IsReadableNow(socket)) {
      const long received =
          platform::ReceiveSome(socket, answer_buffer + fill, kAnswerCapacity - fill);
      if (received < 0) {
        const int error = platform::LastSocketError();
        if (platform::IsConnectionLost(error)) {
          platform::Print("   !!! send error %d\n", error);
          return false;
        }
      } else {
        // The room is never 0 here: a full buffer has ended the wait, so 0
        // bytes means the server has closed its side.
        switch (HoldReceived(answer_buffer, fill, static_cast<int>(received))) {
          case AnswerVerdict::kOk:
            platform::Print("   OK answer detected.\n");
            return true;
          case AnswerVerdict::kError:
            platform::Print("   ERROR answer detected.\n");
            return false;
          case AnswerVerdict::kNoAnswer:
            platform::Print("%s", kNoAnswerLine);
            return false;
          case AnswerVerdict::kNone:
            break;
        }
      }
    }
    if (TimeLimitPassed(wait_start, platform::ReadTickCount())) {
      platform::Print("%s", kNoAnswerLine);
      return false;
    }
  }
}

ExchangeOutcome TransmitRequest(platform::Socket socket, const std::string& request) {
  const std::uint32_t send_start = platform::ReadTickCount();
  platform::Print("Step 1/2: send command to layer N...\n");
  const int send_error = SendWhole(socket, request, send_start);
  if (send_error != 0) {
    platform::Print("   !!! send error %d\n", send_error);
    return ExchangeOutcome::kSendFailed;
  }
  platform::Print("Step 2/2: wait answer for the command...\n");
  char answer_buffer[kAnswerCapacity + 1];
  if (!WaitAnswer(socket, answer_buffer)) {
    return ExchangeOutcome::kAnswerNotOk;
  }
  const std::uint32_t elapsed = platform::ReadTickCount() - send_start;
  platform::Print("Finish OK elapsed times(ms): %d\n", static_cast<int>(elapsed));
  return ExchangeOutcome::kOk;
}

}  // namespace exchange
