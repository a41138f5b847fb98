// Request bytes through larkwire-sim, as a careless or hostile client may
// send them: where the request ends is the same however the network cuts the
// bytes, and for a valid JSON object or array with nothing after it, it is its
// last byte; judging the request and writing its log entry never crash the
// sim, which serves every other connection too, and the entry is one line of
// JSON.
#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/request_check.h"
#include "sim/request_framing.h"
#include "sim/request_log.h"

namespace {

// Where the request ends when it arrives in pieces of 1..64 bytes, sized by
// the bytes themselves in turn, or whole; npos when it goes on past them.
std::size_t EndInPieces(const std::string& bytes, bool whole) {
  sim::RequestScan scan;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t size = whole ? bytes.size() : 1 + static_cast<unsigned char>(bytes[at]) % 64;
    const std::size_t piece = std::min(size, bytes.size() - at);
    const std::size_t end = sim::FindRequestEnd(scan, bytes.data() + at, piece);
    if (end != std::string::npos) {
      return at + end;
    }
    at += piece;
  }
  return std::string::npos;
}

void Require(bool property) {
  if (!property) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t end = EndInPieces(bytes, true);
  Require(EndInPieces(bytes, false) == end);
  // The JSON library takes a zero byte for the end of its input: such bytes
  // are no valid JSON text to the sim.
  const bool closes = size > 0 && (bytes.back() == '}' || bytes.back() == ']') &&
                      bytes.find('\0') == std::string::npos;
  Require(!closes || !nlohmann::json::accept(bytes) || end == size);

  sim::RequestRecord record;
  record.verdict = sim::CheckRequest(bytes);
  record.request = bytes.substr(0, sim::kLoggedRequestBytes);
  record.request_bytes = size;
  const std::string entry = sim::FormatLogEntry(record);
  Require(entry.find('\n') == std::string::npos && nlohmann::json::accept(entry));
  return 0;
}
