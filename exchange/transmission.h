#pragma once

#include <string>

#include "platform/socket.h"

namespace exchange {

enum class ExchangeOutcome { kOk, kSendFailed, kAnswerNotOk };

// Sends the request and awaits the server's verdict, printing the step lines,
// the outcome and, for OK, the elapsed time.
ExchangeOutcome SendAndAwaitVerdict(platform::Socket socket, const std::string& request);

}  // namespace exchange
