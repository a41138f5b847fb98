#include "exchange/transmission.h"

#include "platform/clock.h"
#include "platform/console.h"

namespace exchange {

namespace {

constexpr unsigned kPollPauseMs = 100;

// Sends the whole request, however many sends the socket needs for it.
bool SendWhole(platform::Socket socket, const std::string& request) {
  std::size_t sent = 0;
  while (sent < request.size()) {
    const long taken = platform::SendSome(socket, request.data() + sent, request.size() - sent);
    if (taken < 0) {
      return false;
    }
    sent += static_cast<std::size_t>(taken);
  }
  return true;
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
      } else if (received > 0) {
        switch (HoldReceived(answer_buffer, fill, static_cast<int>(received))) {
          case AnswerVerdict::kOk:
            platform::Print("   OK answer detected.\n");
            return true;
          case AnswerVerdict::kError:
            platform::Print("   ERROR answer detected.\n");
            return false;
          case AnswerVerdict::kNone:
            break;
        }
      }
    }
    if (AnswerTimeLimitPassed(wait_start, platform::ReadTickCount())) {
      platform::Print("   !!! ERROR - NO ANSWER in 5 minutes !!!\n");
      return false;
    }
  }
}

ExchangeOutcome TransmitRequest(platform::Socket socket, const std::string& request) {
  const std::uint32_t send_start = platform::ReadTickCount();
  platform::Print("Step 1/2: send command to layer N...\n");
  if (!SendWhole(socket, request)) {
    platform::Print("   !!! send error %d\n", platform::LastSocketError());
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
