#include "sim/request_check.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>

namespace sim {

namespace {

using nlohmann::json;

// The command types the client's usage text names, and the one it does not.
const std::set<std::string> kKnownTypes{"DSK_Cue",  "DSK_Play",  "DSK_Continue",
                                        "DSK_Stop", "DSK_Eject", "SCTE_SetMessage"};
const std::set<std::string> kTimedTypes{"DSK_Play", "DSK_Continue", "DSK_Stop", "SCTE_SetMessage"};

constexpr long kLayerFactor = 1000000;
constexpr long kTenthsPerDay = 864000;

// A string member of `object`, or empty when it is missing or not a string.
std::string StringMember(const json& object, const char* name) {
  const auto member = object.find(name);
  return member != object.end() && member->is_string() ? member->get<std::string>() : "";
}

// Why `text` is not a command identifier, or empty when it is one. The
// identifier is the layer times a million plus the UTC time of day in tenths.
std::string IdentifierFault(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
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
  const std::pair<const char*, std::string> wanted[] = {
      {"layer_id", std::to_string((layer - 1) / 2 + 1)}, {"head_id", layer % 2 == 1 ? "1" : "2"}};
  for (const auto& [name, value] : wanted) {
    // A missing member, or one of another type than string, is unequal to
    // the string. Compared where it stands: a copy of a value nested deeply
    // would take a stack frame a level.
    const auto member = params.find(name);
    if (member == params.end() || *member != value) {
      return "\"params\".\"" + std::string(name) + "\" should be the string \"" + value +
             "\" for layer " + std::to_string(layer);
    }
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
  const auto type = request.find("type");
  const auto params = request.find("params");
  const std::string id_fault = id == request.end() ? "\"_id\" is missing"
                               : !id->is_string()  ? "\"_id\" is not a string"
                                                   : IdentifierFault(id->get<std::string>());
  if (id_fault.empty()) {
    verdict.id = id->get<std::string>();
    verdict.layer = static_cast<int>(std::stol(verdict.id) / kLayerFactor);
  }
  verdict.type = StringMember(request, "type");
  const bool params_object = params != request.end() && params->is_object();
  if (params_object) {
    verdict.layer_id = StringMember(*params, "layer_id");
    verdict.head_id = StringMember(*params, "head_id");
    const auto time = params->find("time");
    // Kept only when it fits the signed 64-bit count the client writes.
    if (time != params->end() && time->is_number_integer() &&
        !(time->is_number_unsigned() && time->get<std::uint64_t>() > INT64_MAX)) {
      verdict.time = time->get<std::int64_t>();
    }
  }
  const std::string address_fault = params_object ? AddressFault(*params, verdict.layer) : "";
  // The first fault in this order is the reason.
  return !id_fault.empty()                      ? id_fault
         : type == request.end()                ? "\"type\" is missing"
         : !type->is_string()                   ? "\"type\" is not a string"
         : kKnownTypes.count(verdict.type) == 0 ? "\"type\" is not a known command type"
         : params == request.end()              ? "\"params\" is missing"
         : !params_object                       ? "\"params\" is not an object"
         : !address_fault.empty()               ? address_fault
         : kTimedTypes.count(verdict.type) > 0 && !verdict.time
             ? "\"params\".\"time\" should be an integer for a timed command"
             : "";
}

}  // namespace

RequestVerdict CheckRequest(const std::string& request) {
  RequestVerdict verdict;
  const json parsed = json::parse(request, nullptr, false);
  verdict.reason =
      parsed.is_discarded() ? "the request is not one JSON value" : Examine(parsed, verdict);
  verdict.accepted = verdict.reason.empty();
  return verdict;
}

std::string EncodeAnswer(const std::string& id, bool ok, const std::string& message) {
  // Member order as the server writes it; the client reads the root "status".
  nlohmann::ordered_json answer = {{"_id", id}, {"status", ok ? "Ok" : "Error"}};
  if (!ok) {
    answer["message"] = message;
  }
  return answer.dump();
}

}  // namespace sim
