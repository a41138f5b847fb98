// Request bytes through the sim's judge and its log entry, as a hostile
// client may send them: neither may crash the sim, which serves every other
// connection too, and the entry is always one line of JSON.
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/request_check.h"
#include "sim/request_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  sim::RequestRecord record;
  record.verdict = sim::CheckRequest(request);
  record.request = request.substr(0, sim::kLoggedRequestBytes);
  record.request_bytes = size;
  const std::string entry = sim::FormatLogEntry(record);
  if (entry.find('\n') != std::string::npos || !nlohmann::json::accept(entry) ||
      record.verdict.accepted != record.verdict.reason.empty()) {
    std::abort();
  }
  return 0;
}
