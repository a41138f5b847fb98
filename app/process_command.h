#pragma once

#include <string>

#include "app/exit_status.h"
#include "platform/socket.h"

namespace app {

// Validates, completes and encodes the command, sends it on the connected
// socket and awaits the answer. Prints its own messages; leaves the socket open.
ExitStatus ProcessCommand(platform::Socket socket, int layer_number,
                          const std::string& command_text);

}  // namespace app
