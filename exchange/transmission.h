#pragma once

#include <string>

#include "exchange/answer.h"
#include "platform/socket.h"

namespace exchange {

enum class ExchangeOutcome { kOk, kSendFailed, kAnswerNotOk };

// Sends the request and awaits the server's verdict, printing the step lines,
// the outcome and, for OK, the elapsed time.
ExchangeOutcome TransmitRequest(platform::Socket socket, const std::string& request);

// Polls the connection for an answer for up to the time limit. True only for an
// OK verdict; prints its own outcome line either way.
bool WaitAnswer(platform::Socket socket, char (&answer_buffer)[kAnswerCapacity + 1]);

}  // namespace exchange
