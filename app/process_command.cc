#include "app/process_command.h"

#include <new>

#include "command/completion.h"
#include "command/validation.h"
#include "exchange/transmission.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace app {

namespace {

// Validates, completes and encodes the command. False, with its message
// printed, for a command that is refused.
bool BuildRequest(int layer_number, const std::string& command_text, std::string& request) {
  command::Validation validation = command::ValidateCommand(command_text);
  if (!validation.valid) {
    platform::Print("%s", validation.message.c_str());
    return false;
  }
  command::ValidCommand& command = validation.command;
  // Two separate clock readings: the identifier's, then (timed commands only)
  // the "time".
  const int millisecond_of_day = platform::ReadMillisecondOfDay();
  const std::uint64_t file_time = command.timed ? platform::ReadSystemFileTime() : 0;
  command::CompleteCommand(command, layer_number, millisecond_of_day, file_time);
  request = command::EncodeRequest(command.document);
  return true;
}

}  // namespace

ExitStatus ProcessCommand(platform::Socket socket, int layer_number,
                          const std::string& command_text) {
  std::string request;
  try {
    if (!BuildRequest(layer_number, command_text, request)) {
      return kBadCommand;
    }
  } catch (const std::bad_alloc&) {
    // A huge document of many small values can outgrow the memory at hand.
    platform::Print("ERROR - out of memory for the command, nothing sent\n");
    return kSendFailed;
  }

  switch (exchange::SendAndAwaitVerdict(socket, request)) {
    case exchange::ExchangeOutcome::kOk:
      return kOk;
    case exchange::ExchangeOutcome::kSendFailed:
      return kSendFailed;
    case exchange::ExchangeOutcome::kAnswerNotOk:
      break;
  }
  return kAnswerNotOk;
}

}  // namespace app
