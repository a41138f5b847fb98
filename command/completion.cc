#include "command/completion.h"

namespace command {

namespace {

// The 1601-to-1970 offset in 100 ns units, less one second: subtracting it
// gives Unix time one second ahead.
constexpr std::uint64_t kFileTimeOneSecondBeforeUnixEpoch = 116444735990000000ULL;

// Unique per layer within one day and one tenth of a second.
std::int32_t CommandIdFor(int layer_number, int millisecond_of_day) {
  return layer_number * 1000000 + millisecond_of_day / 100;
}

}  // namespace

void CompleteCommand(ValidCommand& command, int layer_number, int millisecond_of_day,
                     std::uint64_t file_time) {
  command.document["_id"] = std::to_string(CommandIdFor(layer_number, millisecond_of_day));
  // Two layers share one "layer_id": layers 1 and 2 are layer_id 1, heads 1 and 2.
  nlohmann::json& params = command.document["params"];
  params["layer_id"] = std::to_string((layer_number - 1) / 2 + 1);
  params["head_id"] = layer_number % 2 == 1 ? "1" : "2";
  if (command.timed) {
    params["time"] = static_cast<std::int64_t>(file_time - kFileTimeOneSecondBeforeUnixEpoch);
  }
}

std::string EncodeRequest(const nlohmann::json& document) {
  return document.dump(-1, ' ', false);
}

}  // namespace command
