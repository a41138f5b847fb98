#pragma once

#include <cstdint>
#include <string>

#include "command/validation.h"

namespace command {

// Writes "_id" (the layer times one million plus the UTC time of day in
// tenths of a second, truncated), "layer_id" and "head_id" into the document
// and, for a timed command, "time": Unix time in 100 ns units one second ahead
// of `file_time` (a reading in 100 ns units since 1601), which is used only
// then. `millisecond_of_day` is the identifier's own UTC clock reading.
void CompleteCommand(ValidCommand& command, int layer_number, int millisecond_of_day,
                     std::uint64_t file_time);

// The request text: compact JSON, members in byte order, UTF-8 kept raw.
std::string EncodeRequest(const nlohmann::json& document);

}  // namespace command
