#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// What one request says about itself and whether it keeps the contract.
struct RequestVerdict {
  bool accepted = false;
  std::string reason;                // why the request is refused; empty when accepted
  std::string id;                    // "_id" when it is a valid command identifier, else empty
  int layer = 0;                     // the layer the "_id" gives, 0 when it gives none
  std::string type;                  // "type" when it is a string
  std::string layer_id;              // "params"."layer_id" when it is a string
  std::string head_id;               // "params"."head_id" when it is a string
  std::optional<std::int64_t> time;  // "params"."time" when it is an integer
};

// Checks one complete request: a root object with a command identifier in
// "_id", a known "type", a "params" object addressed to the identifier's layer,
// and an integer "time" for the timed types.
RequestVerdict CheckRequest(const std::string& request);

// The answer for a request with this identifier (empty when it has none): an
// Ok status, or an Error status with the reason as its message.
std::string EncodeAnswer(const std::string& id, bool ok, const std::string& message);

}  // namespace sim
