// Answers against a property of their own, not a second copy of the
// classification: an answer made of objects and blanks (a byte-order mark
// first, perhaps) gets no verdict on any prefix but the verdict on the whole
// text, so where the server's writes part it cannot change the verdict.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  const bool byte_order_mark = input.ConsumeBool();
  nlohmann::ordered_json value =
      nlohmann::ordered_json::parse(input.ConsumeRemainingBytesAsString(), nullptr, false);

  // An array's objects one after another, parted by blanks, cut to 1024 bytes.
  if (!value.is_array()) {
    return 0;
  }
  std::string text = byte_order_mark ? "\xEF\xBB\xBF" : "";
  for (const auto& object : value) {
    if (!object.is_object()) {
      return 0;
    }
    text += object.dump(object.size() % 2 == 0 ? -1 : 1) + (text.size() % 2 == 0 ? " " : "\r\n");
  }
  text.resize(std::min(text.size(), std::size_t{exchange::kAnswerCapacity}));
  const exchange::AnswerVerdict whole = exchange::ClassifyAnswer(text, true);
  for (std::size_t end = 0; end <= text.size(); ++end) {
    const exchange::AnswerVerdict early =
        exchange::ClassifyAnswer(std::string_view(text).substr(0, end), false);
    if (early != exchange::AnswerVerdict::kNone && early != whole) {
      std::abort();
    }
  }
  if (ReceiveInPieces(text, piece) != ReceiveInPieces(text, text.size() + 1)) {
    std::abort();
  }
  return 0;
}
