#include "command/validation.h"

#include <utility>

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

}  // namespace

Validation ValidateCommand(const std::string& command_text) {
  nlohmann::json document;
  // A refused document is released by ReleaseDocument, not by the library's
  // destructor: see there.
  const auto refuse = [&document, &command_text](const char* complaint) {
    ReleaseDocument(document);
    return Refused(command_text, complaint);
  };
  try {
    document = ParseCommandText(command_text);
    if (!document.is_object()) {
      return refuse("has bad format.");
    }
    const auto type = document.find("type");
    if (type == document.end()) {
      return refuse("has not parameter 'type'.");
    }
    const auto params = document.find("params");
    if (params == document.end()) {
      return refuse("has not parameter 'params'.");
    }
    if (!params->is_object()) {
      return refuse("has bad format for parameter 'params'.");
    }
    // A "type" that is not a string raises the library's type_error 302.
    const bool timed = IsTimedCommand(type->get<std::string>());

    Validation accepted;
    accepted.valid = true;
    accepted.command.document = std::move(document);
    accepted.command.timed = timed;
    return accepted;
  } catch (const nlohmann::json::exception& error) {
    ReleaseDocument(document);
    Validation refused;
    refused.message = "Unexpected error on parse JSON '" + command_text +
                      "' ERROR=" + std::to_string(error.id) + ", " + error.what() + "\n";
    return refused;
  }
}

}  // namespace command
