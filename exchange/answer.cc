#include "exchange/answer.h"

#include <cstring>

namespace exchange {

AnswerVerdict ClassifyAnswer(const char* held_text) {
  if (std::strstr(held_text, "\"status\"") == nullptr) {
    return AnswerVerdict::kNone;
  }
  if (std::strstr(held_text, "\"Ok\"") != nullptr || std::strstr(held_text, "\"ok\"") != nullptr) {
    return AnswerVerdict::kOk;
  }
  if (std::strstr(held_text, "\"Error\"") != nullptr ||
      std::strstr(held_text, "\"error\"") != nullptr) {
    return AnswerVerdict::kError;
  }
  return AnswerVerdict::kNone;
}

AnswerVerdict HoldReceived(char (&answer_buffer)[kAnswerCapacity + 1], int& fill, int received) {
  fill += received;
  answer_buffer[fill] = '\0';
  return ClassifyAnswer(answer_buffer);
}

bool AnswerTimeLimitPassed(std::uint32_t start, std::uint32_t now) {
  return static_cast<std::uint32_t>(now - start) > kAnswerTimeLimitMs;
}

}  // namespace exchange
