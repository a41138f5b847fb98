#include "command/completion.h"

#include <utility>

namespace command {

namespace {

// The 1601-to-1970 offset in 100 ns units, less one second: subtracting it
// gives Unix time one second ahead.
constexpr std::uint64_t kFileTimeOneSecondBeforeUnixEpoch = 116444735990000000ULL;

}  // namespace

std::int32_t CommandIdFor(int layer_number, TimeOfDay clock) {
  const std::int32_t tenths_of_day =
      clock.hour * 36000 + clock.minute * 600 + clock.second * 10 + clock.millisecond / 100;
  return layer_number * 1000000 + tenths_of_day;
}

std::string LayerIdFor(int layer_number) {
  return std::to_string((layer_number - 1) / 2 + 1);
}

std::string HeadIdFor(int layer_number) {
  return layer_number % 2 == 1 ? "1" : "2";
}

std::int64_t TimeValueFor(std::uint64_t file_time) {
  return static_cast<std::int64_t>(file_time - kFileTimeOneSecondBeforeUnixEpoch);
}

void CompleteCommand(ValidCommand& command, int layer_number, TimeOfDay id_clock,
                     std::uint64_t file_time) {
  command.document["_id"] = std::to_string(CommandIdFor(layer_number, id_clock));
  command.params["layer_id"] = LayerIdFor(layer_number);
  command.params["head_id"] = HeadIdFor(layer_number);
  if (command.timed) {
    command.params["time"] = TimeValueFor(file_time);
  }
  command.document["params"] = std::move(command.params);
}

std::string EncodeRequest(const nlohmann::json& document) {
  return document.dump(-1, ' ', false);
}

}  // namespace command
