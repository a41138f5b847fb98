#include "sim/request_check.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace sim {

namespace {

using nlohmann::json;

// The command types the client's usage text names, and the one it does not.
const char* const kKnownTypes[] = {"DSK_Cue",  "DSK_Play",  "DSK_Continue",
                                   "DSK_Stop", "DSK_Eject", "SCTE_SetMessage"};
const char* const kTimedTypes[] = {"DSK_Play", "DSK_Continue", "DSK_Stop", "SCTE_SetMessage"};

constexpr long kLayerFactor = 1000000;
constexpr long kTenthsPerDay = 864000;

template <std::size_t N>
bool IsOneOf(const std::string& text, const char* const (&names)[N]) {
  return std::find(std::begin(names), std::end(names), text) != std::end(names);
}

// A string member of `object`, or empty when it is missing or not a string.
std::string StringMember(const json& object, const char* name) {
  const auto member = object.find(name);
  return member != object.end() && member->is_string() ? member->get<std::string>() : "";
}

// Why `text` is not a command identifier, or empty when it is one. The
// identifier is the layer times a million plus the UTC time of day in tenths.
std::string IdentifierFault(const std::string& text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return "\"_id\" is not a string of decimal digits";
  }
  if (text.size() > 1 && text[0] == '0') {
    return "\"_id\" has a leading zero";
  }
  if (text.size() < 7 || text.size() > 8) {
    return "\"_id\" does not give a layer 1..99 in its millions";
  }
  if (std::stol(text) % kLayerFactor >= kTenthsPerDay) {
    return "\"_id\" holds no time of day below its millions";
  }
  return "";
}

// Why the members the client writes into "params" are wrong, or empty.
std::string AddressFault(const json& params, int layer) {
  const std::string layer_id = std::to_string((layer - 1) / 2 + 1);
  const std::string head_id = layer % 2 == 1 ? "1" : "2";
  const std::string for_layer = " for layer " + std::to_string(layer);
  const auto member = params.find("layer_id");
  if (member == params.end() || !member->is_string() || *member != layer_id) {
    return "\"params\".\"layer_id\" should be the string \"" + layer_id + "\"" + for_layer;
  }
  const auto head = params.find("head_id");
  if (head == params.end() || !head->is_string() || *head != head_id) {
    return "\"params\".\"head_id\" should be the string \"" + head_id + "\"" + for_layer;
  }
  return "";
}

// Fills what the request tells, whether or not it keeps the contract, and
// returns why it does not keep it, or empty.
std::string Examine(const json& request, RequestVerdict& verdict) {
  if (!request.is_object()) {
    return "the request is not a JSON object";
  }
  const auto id = request.find("_id");
  std::string id_fault = id == request.end() ? "\"_id\" is missing"
                         : !id->is_string()  ? "\"_id\" is not a string"
                                             : IdentifierFault(id->get<std::string>());
  if (id_fault.empty()) {
    verdict.id = id->get<std::string>();
    verdict.layer = static_cast<int>(std::stol(verdict.id) / kLayerFactor);
  }

  const auto type = request.find("type");
  if (type != request.end() && type->is_string()) {
    verdict.type = type->get<std::string>();
  }
  const auto params = request.find("params");
  if (params != request.end() && params->is_object()) {
    verdict.layer_id = StringMember(*params, "layer_id");
    verdict.head_id = StringMember(*params, "head_id");
    const auto time = params->find("time");
    // Kept only when it fits the signed 64-bit count the client writes.
    if (time != params->end() && time->is_number_integer() &&
        !(time->is_number_unsigned() &&
          time->get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max())) {
      verdict.time = time->get<std::int64_t>();
    }
  }

  if (!id_fault.empty()) {
    return id_fault;
  }
  if (type == request.end()) {
    return "\"type\" is missing";
  }
  if (!type->is_string()) {
    return "\"type\" is not a string";
  }
  if (!IsOneOf(verdict.type, kKnownTypes)) {
    return "\"type\" is not a known command type";
  }
  if (params == request.end()) {
    return "\"params\" is missing";
  }
  if (!params->is_object()) {
    return "\"params\" is not an object";
  }
  std::string address_fault = AddressFault(*params, verdict.layer);
  if (!address_fault.empty()) {
    return address_fault;
  }
  if (IsOneOf(verdict.type, kTimedTypes) && !verdict.time) {
    return "\"params\".\"time\" should be an integer for a timed command";
  }
  return "";
}

}  // namespace

RequestVerdict CheckRequest(const std::string& request) {
  RequestVerdict verdict;
  const json parsed = json::parse(request, nullptr, false);
  if (parsed.is_discarded()) {
    verdict.reason = "the request is not one JSON value";
    return verdict;
  }
  verdict.reason = Examine(parsed, verdict);
  verdict.accepted = verdict.reason.empty();
  return verdict;
}

std::string EncodeAnswer(const std::string& id, bool ok, const std::string& message) {
  // Member order as the server writes it; the client only looks for words.
  nlohmann::ordered_json answer;
  answer["_id"] = id;
  answer["status"] = ok ? "Ok" : "Error";
  if (!ok) {
    answer["message"] = message;
  }
  return answer.dump();
}

}  // namespace sim
