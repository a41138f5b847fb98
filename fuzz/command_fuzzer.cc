// Command-file bytes through validation, completion and encoding. An accepted
// command's request is compact JSON that dumps to itself, and it is the JSON
// library's own reading of the file with the written members put in.
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "command/completion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::min(text.find('\0'), text.size()));  // reading the file never yields a zero
  command::Validation validation = command::ValidateCommand(text);
  if (!validation.valid) {
    return 0;
  }
  command::CompleteCommand(validation.command, 1 + static_cast<int>(size % 99), 12 * 3600000,
                           116444736000000000ULL);
  const std::string request = command::EncodeRequest(validation.command.document);
  const nlohmann::json back = nlohmann::json::parse(request);
  nlohmann::json expected = nlohmann::json::parse(text);
  expected["_id"] = back.at("_id");
  for (const char* written : {"layer_id", "head_id", "time"}) {
    if (back.at("params").contains(written)) {
      expected["params"][written] = back["params"][written];
    }
  }
  if (back.dump(-1, ' ', false) != request || back != expected) {
    std::abort();
  }
  return 0;
}
