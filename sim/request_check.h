#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// The most request bytes collected from one connection.
constexpr std::size_t kRequestByteLimit = std::size_t{1024} * 1024;

// Where a request ends. The client sends no terminator, so the request ends
// with the bracket that closes its root object (or array). Fed one piece at a
// time, the scan looks at each byte once and parses nothing.
struct RequestScan {
  std::size_t depth = 0;  // brackets open outside strings
  bool in_string = false;
  bool escaped = false;  // the byte before was a backslash inside a string
};

// How many bytes of `piece` belong to the request when the request ends in
// it; std::string::npos when it goes on past the piece.
std::size_t FindRequestEnd(RequestScan& scan, const char* piece, std::size_t size);

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
