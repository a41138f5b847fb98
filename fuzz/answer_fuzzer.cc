// Answer bytes against properties of their own, not a second copy of the
// classification:
// - for text made of objects and blanks (a byte-order mark first allowed),
//   the verdict on any prefix is either none or the verdict on the whole
//   text, so where the pieces part cannot change the verdict;
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

using exchange::WaitStep;

// The step the wait reaches when the first 1024 bytes of `answer` arrive in
// pieces of `piece` bytes and the server then closes its side.
WaitStep ReceiveInPieces(const std::string& answer, std::size_t piece) {
  exchange::AnswerBuffer buffer;
  WaitStep step = WaitStep::kGoOn;
  const std::size_t size = std::min<std::size_t>(answer.size(), exchange::kAnswerCapacity);
  for (std::size_t at = 0; at < size && step == WaitStep::kGoOn; at += piece) {
    const std::size_t taken = std::min(piece, size - at);
    std::memcpy(buffer.bytes + buffer.fill, answer.data() + at, taken);
    step = exchange::TakeReceive(buffer, static_cast<long>(taken), 0);
  }
  return step == WaitStep::kGoOn ? exchange::TakeReceive(buffer, 0, 0) : step;
}

WaitStep StepFor(exchange::AnswerVerdict verdict) {
  switch (verdict) {
    case exchange::AnswerVerdict::kOk:
      return WaitStep::kOk;
    case exchange::AnswerVerdict::kError:
      return WaitStep::kError;
    case exchange::AnswerVerdict::kNoAnswer:
      return WaitStep::kNoAnswer;
    case exchange::AnswerVerdict::kNone:
      break;
  }
  return WaitStep::kGoOn;
}

// Whether the text holds nothing but objects (the last perhaps cut off) and
// blanks between them; brackets count outside strings only.
bool OnlyObjectsAndBlanks(const std::string& text) {
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0; at < text.size(); ++at) {
    const char c = text[at];
    if (in_string) {
      at += c == '\\';
      in_string = c != '"';
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (depth == 0 && c == '[') {
        return false;
      }
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth-- == 0) {
        return false;
      }
    } else if (depth == 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      return false;
    }
  }
  return true;
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
    const WaitStep said = word < 2 ? WaitStep::kOk : WaitStep::kError;
    for (const std::string& answer : {object.dump(), object.dump(1, '\t')}) {
      Require(answer.size() > exchange::kAnswerCapacity || ReceiveInPieces(answer, piece) == said);
    }
  }

  text.resize(std::min({text.size(), text.find('\0'), std::size_t{exchange::kAnswerCapacity}}));
  if (!OnlyObjectsAndBlanks(text)) {
    return 0;
  }
  const exchange::AnswerVerdict whole = exchange::ClassifyAnswer(text, true);
  for (std::size_t end = 0; end <= text.size(); ++end) {
    const exchange::AnswerVerdict early =
        exchange::ClassifyAnswer(std::string_view(text).substr(0, end), false);
    Require(early == exchange::AnswerVerdict::kNone || early == whole);
  }
  Require(ReceiveInPieces(text, piece) == StepFor(whole));
  return 0;
}
