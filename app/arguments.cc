#include "app/arguments.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "platform/console.h"

namespace app {

int ConvertLikeAtoi(const char* text) {
  // strtol saturates at the range of long, which may be wider than int's.
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

bool IsValidPort(int port) {
  return static_cast<std::uint32_t>(port) - 1u <= 55554u;
}

bool IsValidLayer(int layer_number) {
  return static_cast<std::uint32_t>(layer_number) - 1u <= 98u;
}

void PrintUsage() {
  platform::Print(
      "Larkwire - send command like DSK_Cue,DSK_Play,DSK_Stop,DSK_Eject,DSK_Continue\n");
  platform::Print(">Larkwire.exe IP Port N file.json\n");
  platform::Print("  IP - IP address for server connection\n");
  platform::Print("  Port - port for server connection\n");
  platform::Print("  N - layer number (1..99)\n");
  platform::Print("  file.json - JSON file with command for the layer\n");
  platform::Print("For example:\n");
  platform::Print(">Larkwire.exe 127.0.0.1 4002 1 DskEject.json\n");
  platform::Print(
      "as result the application will connect to server \"127.0.0.1:4002\" and do follow:\n");
  platform::Print("  1) read JSON from file and check format;\n");
  platform::Print(
      "  2) fill parameter \"_id\" with unique command index (current time with 0.1 second "
      "accuracy);\n");
  platform::Print(
      "  3) fill parameters \"layer_id\" and \"head_id\" from specified layer number;\n");
  platform::Print(
      "  4) fill parameter \"time\" (for commands DSK_Play, DSK_Continue or DSK_Stop);\n");
  platform::Print("  5) send modified command to server;\n");
  platform::Print("  6) wait answer and exit.\n");
}

}  // namespace app
