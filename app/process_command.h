#pragma once

#include <string>

#include "app/exit_status.h"
#include "platform/socket.h"

namespace app {

// Validates, completes and encodes the command, sends it on the connected
// socket and awaits the answer. Prints its own messages; leaves the socket open.
// Takes the command text over, to release it as soon as it has been validated.
ExitStatus ProcessCommand(platform::Socket socket, int layer_number, std::string command_text);

// The terminate handler, set first thing in main. The JSON library's
// destructor allocates a list of a container's elements, where running out of
// memory cannot be thrown: a document dropped while memory runs out ends in
// std::terminate. That end gets the message and status of any other lack of
// memory for the command, instead of an abort.
[[noreturn]] void EndWithoutMemory();

}  // namespace app
