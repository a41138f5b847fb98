// Request bytes through the sim's request framing, in pieces as the network
// may cut them: the end found is the same however the bytes are cut, and for
// a valid JSON object or array with nothing after it, it is its last byte.
#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/request_framing.h"

namespace {

// Where the request in `bytes` ends, fed in pieces of 1..64 bytes whose sizes
// `sizes` gives in turn (empty: one piece); npos when it goes on past them.
std::size_t EndInPieces(const std::string& bytes, const std::string& sizes) {
  sim::RequestScan scan;
  for (std::size_t at = 0, turn = 0; at < bytes.size(); ++turn) {
    const std::size_t size = sizes.empty()
                                 ? bytes.size()
                                 : 1 + static_cast<unsigned char>(sizes[turn % sizes.size()]) % 64;
    const std::size_t piece = std::min(size, bytes.size() - at);
    const std::size_t end = sim::FindRequestEnd(scan, bytes.data() + at, piece);
    if (end != std::string::npos) {
      return at + end;
    }
    at += piece;
  }
  return std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t end = EndInPieces(bytes, "");
  if (EndInPieces(bytes, std::string(1, '\0')) != end || EndInPieces(bytes, bytes) != end) {
    std::abort();
  }
  // The JSON library takes a zero byte for the end of its input: such bytes
  // are no valid JSON text to the sim.
  const bool closes = size > 0 && (bytes.back() == '}' || bytes.back() == ']') &&
                      bytes.find('\0') == std::string::npos;
  if (closes && nlohmann::json::accept(bytes) && end != size) {
    std::abort();
  }
  return 0;
}
