// Answer bytes against properties of their own, not a second copy of the
// classification:
// - for text that begins with an object, the verdict on any prefix is either
//   none or the verdict on the whole text, so where the pieces part cannot
//   change the verdict;
// - a JSON object whose own "status" is Ok, ok, Error or error gets that
//   verdict, whatever else it holds and however its bytes arrive.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "exchange/answer.h"

namespace {

using exchange::AnswerVerdict;

// The verdict the wait reaches when the first 1024 bytes of `answer` arrive
// in pieces of `piece` bytes and the server then closes its side.
AnswerVerdict ReceiveInPieces(const std::string& answer, std::size_t piece) {
  char buffer[exchange::kAnswerCapacity + 1];
  int fill = 0;
  AnswerVerdict verdict = AnswerVerdict::kNone;
  const std::size_t size = std::min<std::size_t>(answer.size(), exchange::kAnswerCapacity);
  for (std::size_t at = 0; at < size && verdict == AnswerVerdict::kNone; at += piece) {
    const std::size_t taken = std::min(piece, size - at);
    std::memcpy(buffer + fill, answer.data() + at, taken);
    verdict = exchange::HoldReceived(buffer, fill, static_cast<int>(taken));
  }
  return verdict == AnswerVerdict::kNone ? exchange::HoldReceived(buffer, fill, 0) : verdict;
}

void Require(bool property) {
  if (!property) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  const int word = input.ConsumeIntegralInRange<int>(0, 3);
  std::string text = input.ConsumeRemainingBytesAsString();

  nlohmann::ordered_json object = nlohmann::ordered_json::parse(text, nullptr, false);
  if (object.is_object()) {
    static const char* const kWords[] = {"Ok", "ok", "Error", "error"};
    object["status"] = kWords[word];
    const AnswerVerdict said = word < 2 ? AnswerVerdict::kOk : AnswerVerdict::kError;
    for (const std::string& answer : {object.dump(), object.dump(1, '\t')}) {
      Require(answer.size() > exchange::kAnswerCapacity || ReceiveInPieces(answer, piece) == said);
    }
  }

  text.resize(std::min({text.size(), text.find('\0'), std::size_t{exchange::kAnswerCapacity}}));
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || text[first] != '{') {
    return 0;
  }
  const AnswerVerdict whole = exchange::ClassifyAnswer(text, true);
  for (std::size_t end = 0; end <= text.size(); ++end) {
    const AnswerVerdict early =
        exchange::ClassifyAnswer(std::string_view(text).substr(0, end), false);
    Require(early == AnswerVerdict::kNone || early == whole);
  }
  Require(ReceiveInPieces(text, piece) == whole);
  return 0;
}
