#include "command/validation.h"

#include <utility>
#include <vector>

#include "command/parse.h"

namespace command {

namespace {

Validation Refused(const std::string& command_text, const char* complaint) {
  Validation refused;
  refused.message = "ERROR - JSON '" + command_text + "' " + complaint + "\n";
  return refused;
}

// Whether the command type is one of those that carry a "time".
bool IsTimedCommand(const std::string& type) {
  static const char* const kTimedCommands[] = {"DSK_Play", "DSK_Continue", "DSK_Stop",
                                               "SCTE_SetMessage"};
  for (const char* timed : kTimedCommands) {
    if (type == timed) {
      return true;
    }
  }
  return false;
}

// Nesting depth of objects and arrays, measured without recursion: 0 for a
// scalar, 1 for a container holding only scalars.
int NestingDepth(const nlohmann::json& value) {
  std::vector<std::pair<const nlohmann::json*, int>> pending{{&value, 1}};
  int deepest = 0;
  while (!pending.empty()) {
    const auto [node, level] = pending.back();
    pending.pop_back();
    if (!node->is_structured()) {
      continue;
    }
    if (level > deepest) {
      deepest = level;
    }
    for (const auto& child : *node) {
      pending.emplace_back(&child, level + 1);
    }
  }
  return deepest;
}

}  // namespace

Validation ValidateCommand(const std::string& command_text) {
  try {
    nlohmann::json document = ParseCommandText(command_text);
    if (!document.is_object() || NestingDepth(document) > kMaxNestingDepth) {
      return Refused(command_text, "has bad format.");
    }
    const auto type = document.find("type");
    if (type == document.end()) {
      return Refused(command_text, "has not parameter 'type'.");
    }
    const auto params = document.find("params");
    if (params == document.end()) {
      return Refused(command_text, "has not parameter 'params'.");
    }
    if (!params->is_object()) {
      return Refused(command_text, "has bad format for parameter 'params'.");
    }
    // A "type" that is not a string raises the library's type_error 302.
    const bool timed = IsTimedCommand(type->get<std::string>());

    Validation accepted;
    accepted.valid = true;
    accepted.command.document = std::move(document);
    accepted.command.timed = timed;
    return accepted;
  } catch (const nlohmann::json::exception& error) {
    Validation refused;
    refused.message = "Unexpected error on parse JSON '" + command_text +
                      "' ERROR=" + std::to_string(error.id) + ", " + error.what() + "\n";
    return refused;
  }
}

}  // namespace command
