// Answer bytes in pieces through the client's held answer text: after every
// piece the verdict is the one the held bytes give classified whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exchange/answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int piece = input.ConsumeIntegralInRange<int>(1, 1500);
  const std::string answer = input.ConsumeRemainingBytesAsString();
  char buffer[exchange::kAnswerCapacity + 1];
  int fill = 0;
  exchange::AnswerVerdict verdict = exchange::AnswerVerdict::kNone;
  while (verdict == exchange::AnswerVerdict::kNone && fill < exchange::kAnswerCapacity &&
         fill < static_cast<int>(answer.size())) {
    const int received =
        std::min({piece, exchange::kAnswerCapacity - fill, static_cast<int>(answer.size()) - fill});
    std::memcpy(buffer + fill, answer.data() + fill, static_cast<std::size_t>(received));
    verdict = exchange::HoldReceived(buffer, fill, received);
    if (verdict !=
        exchange::ClassifyAnswer(answer.substr(0, static_cast<std::size_t>(fill)).c_str())) {
      std::abort();
    }
  }
  return 0;
}
