#include "command/validation.h"

#include <utility>

namespace command {

namespace {

using nlohmann::json;

// Deepest nesting of objects and arrays a command may have (the root object
// is level 1): encoding the request recurses a level at a time.
constexpr int kMaxNestingDepth = 512;

// Parses the whole text as one JSON value (a leading UTF-8 byte-order mark
// skipped) with exceptions off: anything else, or a value nested deeper than
// kMaxNestingDepth, gives the discarded value. A deeper value is skipped as
// soon as it opens, so it is never built.
json ParseCommandText(const std::string& command_text) {
  bool too_deep = false;
  const json::parser_callback_t refuse_too_deep = [&too_deep](int depth, json::parse_event_t event,
                                                              json& /*parsed*/) {
    const bool opens =
        event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    too_deep = too_deep || (opens && depth >= kMaxNestingDepth);
    return !too_deep;
  };
  json document = json::parse(command_text, refuse_too_deep, false);
  return too_deep ? json(json::value_t::discarded) : document;
}

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

}  // namespace

Validation ValidateCommand(const std::string& command_text) {
  try {
    json document = ParseCommandText(command_text);
    if (!document.is_object()) {
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
  } catch (const json::exception& error) {
    Validation refused;
    refused.message = "Unexpected error on parse JSON '" + command_text +
                      "' ERROR=" + std::to_string(error.id) + ", " + error.what() + "\n";
    return refused;
  }
}

}  // namespace command
