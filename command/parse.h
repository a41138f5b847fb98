#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace command {

// Parses the whole text as one JSON value (a leading UTF-8 byte-order mark
// skipped), as the library's parse does with no callback and no exceptions:
// anything else gives the discarded value, and nothing is raised.
nlohmann::json ParseCommandText(const std::string& command_text);

}  // namespace command
