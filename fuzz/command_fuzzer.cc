// Command-file bytes through validation, completion with a fixed clock reading
// and encoding. Every input must end in exactly the outcome its shape calls
// for; an accepted command must encode to compact text that parses back to the
// completed document, with members in byte order, the written members as the
// wire format demands and every other member unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command/completion.h"
#include "command/validation.h"

using nlohmann::json;

namespace {

// The fixed clock: 23:59:59.999 UTC for the identifier (863999 tenths of the
// day), 2025-01-23 12:00:00 UTC as a file-time count for "time".
constexpr command::TimeOfDay kIdClock{23, 59, 59, 999};
constexpr int kTenthsAtIdClock = 863999;
constexpr std::uint64_t kFileTime = 116444736000000000ULL + 17376336000000000ULL;
constexpr std::int64_t kTimeOneSecondAhead = 17376336010000000LL;

void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "command property broken: %s\n", property);
    std::abort();
  }
}

// What a walk over well-formed JSON text finds: the deepest nesting of
// objects and arrays, blanks between tokens, and \u escapes that the compact
// form must not use (anything but a control character without a short escape,
// in small hexadecimal digits).
struct TextShape {
  int depth = 0;
  bool blank_between_tokens = false;
  bool needless_escape = false;
};

TextShape ScanWellFormedText(const std::string& text) {
  TextShape shape;
  int level = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '"') {
        in_string = false;
      } else if (c == '\\' && text[i + 1] == 'u') {
        const std::string digits = text.substr(i + 2, 4);
        const unsigned long code = std::stoul(digits, nullptr, 16);
        const bool has_short_escape =
            code == 0x08 || code == 0x09 || code == 0x0A || code == 0x0C || code == 0x0D;
        const bool small_digits =
            std::none_of(digits.begin(), digits.end(), [](char d) { return d >= 'A' && d <= 'F'; });
        shape.needless_escape |= code >= 0x20 || has_short_escape || !small_digits;
        i += 5;
      } else if (c == '\\') {
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        break;
      case '{':
      case '[':
        shape.depth = std::max(shape.depth, ++level);
        break;
      case '}':
      case ']':
        --level;
        break;
      case ' ':
      case '\t':
      case '\n':
      case '\r':
        shape.blank_between_tokens = true;
        break;
      default:
        break;
    }
  }
  return shape;
}

// The one message a refused text must get, or "" for a text that must pass.
std::string ExpectedRefusal(const std::string& text) {
  const std::string quoted = "ERROR - JSON '" + text + "' ";
  if (!json::accept(text)) {
    return quoted + "has bad format.\n";
  }
  const json document = json::parse(text);
  if (!document.is_object() || ScanWellFormedText(text).depth > command::kMaxNestingDepth) {
    return quoted + "has bad format.\n";
  }
  if (!document.contains("type")) {
    return quoted + "has not parameter 'type'.\n";
  }
  if (!document.contains("params")) {
    return quoted + "has not parameter 'params'.\n";
  }
  if (!document.at("params").is_object()) {
    return quoted + "has bad format for parameter 'params'.\n";
  }
  if (!document.at("type").is_string()) {
    return "Unexpected error on parse JSON '" + text +
           "' ERROR=302, [json.exception.type_error.302] type must be string, but is " +
           document.at("type").type_name() + "\n";
  }
  return "";
}

bool IsTimedType(const json& type) {
  for (const char* timed : {"DSK_Play", "DSK_Continue", "DSK_Stop", "SCTE_SetMessage"}) {
    if (type == timed) {
      return true;
    }
  }
  return false;
}

// Whether every object's member names, in the order the text holds them, rise
// strictly as unsigned bytes.
bool MembersInByteOrder(const std::string& text) {
  const nlohmann::ordered_json as_written = nlohmann::ordered_json::parse(text);
  std::vector<const nlohmann::ordered_json*> pending{&as_written};
  while (!pending.empty()) {
    const nlohmann::ordered_json* node = pending.back();
    pending.pop_back();
    const std::string* previous = nullptr;
    if (node->is_object()) {
      for (auto member = node->begin(); member != node->end(); ++member) {
        if (previous != nullptr && !(*previous < member.key())) {
          return false;
        }
        previous = &member.key();
      }
    }
    if (node->is_structured()) {
      for (const auto& child : *node) {
        pending.push_back(&child);
      }
    }
  }
  return true;
}

// Whether `completed` holds every member of `original` but `written` with its
// value unchanged, and nothing else besides the written members.
bool OthersUnchanged(const json& original, const json& completed,
                     const std::vector<std::string>& written) {
  std::size_t added = 0;
  for (const std::string& name : written) {
    added += original.contains(name) ? 0 : 1;
  }
  if (completed.size() != original.size() + added) {
    return false;
  }
  for (const auto& member : original.items()) {
    const bool was_written =
        std::find(written.begin(), written.end(), member.key()) != written.end();
    if (!was_written &&
        (!completed.contains(member.key()) || completed.at(member.key()) != member.value())) {
      return false;
    }
  }
  return true;
}

void CheckAcceptedCommand(const std::string& text, command::ValidCommand& command, int layer) {
  const json original = json::parse(text);
  Require(command.timed == IsTimedType(original.at("type")), "timed exactly for the four types");

  command::CompleteCommand(command, layer, kIdClock, kFileTime);
  const std::string request = command::EncodeRequest(command.document);

  Require(json::accept(request), "the request is one well-formed JSON value");
  const TextShape shape = ScanWellFormedText(request);
  Require(!shape.blank_between_tokens, "no blank or line break between tokens");
  Require(!shape.needless_escape, "characters beyond ASCII go raw, not escaped");
  const json back = json::parse(request);
  Require(back == command.document, "the request parses back to the completed document");
  Require(MembersInByteOrder(request), "members in ascending byte order");

  Require(back.at("_id") == std::to_string(layer * 1000000 + kTenthsAtIdClock),
          "\"_id\" is the identifier's digits");
  const json& params = back.at("params");
  Require(params.at("layer_id") == std::to_string((layer - 1) / 2 + 1),
          "\"layer_id\" is the layer pair's digits");
  Require(params.at("head_id") == (layer % 2 == 1 ? "1" : "2"), "\"head_id\" is 1 or 2");
  std::vector<std::string> written_params = {"layer_id", "head_id"};
  if (command.timed) {
    Require(params.at("time").is_number_integer() && params.at("time") == kTimeOneSecondAhead,
            "a timed command's \"time\" is the integer one second ahead");
    written_params.push_back("time");
  }
  Require(OthersUnchanged(original, back, {"_id", "params"}), "other root members unchanged");
  Require(OthersUnchanged(original.at("params"), params, written_params),
          "other \"params\" members unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The command text never holds a zero byte: reading the file drops it.
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  const int layer = 1 + static_cast<int>(size % 99);

  command::Validation validation = command::ValidateCommand(text);
  const std::string expected_refusal = ExpectedRefusal(text);
  Require(validation.valid == expected_refusal.empty(), "accepted exactly when well shaped");
  Require(validation.message == expected_refusal, "a refusal has exactly its one message");
  if (validation.valid) {
    CheckAcceptedCommand(text, validation.command, layer);
  }
  return 0;
}
