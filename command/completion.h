#pragma once

#include <cstdint>
#include <string>

#include "command/validation.h"

namespace command {

// A UTC clock reading's time of day.
struct TimeOfDay {
  int hour;
  int minute;
  int second;
  int millisecond;
};

// Layer number times one million plus the time of day in tenths of a second
// (truncated): unique per layer within one day and one tenth.
std::int32_t CommandIdFor(int layer_number, TimeOfDay clock);

// Two layers share one "layer_id": layers 1 and 2 are layer_id 1, heads 1 and 2.
std::string LayerIdFor(int layer_number);
std::string HeadIdFor(int layer_number);

// The "time" of a timed command from a file-time reading (100 ns units since
// 1601): Unix time in 100 ns units, one second ahead of the reading.
std::int64_t TimeValueFor(std::uint64_t file_time);

// Writes "_id", "layer_id", "head_id" and, for a timed command, "time", then
// puts the completed "params" back into the document. `file_time` is used only
// for a timed command.
void CompleteCommand(ValidCommand& command, int layer_number, TimeOfDay id_clock,
                     std::uint64_t file_time);

// The request text: compact JSON, members in byte order, UTF-8 kept raw.
std::string EncodeRequest(const nlohmann::json& document);

}  // namespace command
