#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace command {

// A command document that has the required shape, and whether its type is
// one of those that carry a "time".
struct ValidCommand {
  nlohmann::json document;
  bool timed = false;
};

// The outcome of validation: either a valid command, or the one console
// message that tells why the text was refused.
struct Validation {
  bool valid = false;
  std::string message;
  ValidCommand command;
};

Validation ValidateCommand(const std::string& command_text);

}  // namespace command
