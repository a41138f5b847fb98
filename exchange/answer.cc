#include "exchange/answer.h"

#include <cstring>
#include <string_view>

namespace exchange {

namespace {

enum class StatusValue { kDecides, kPending, kNone };

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* SkipBlanks(const char* at) {
  while (IsBlank(*at)) {
    ++at;
  }
  return at;
}

// Looks behind one occurrence of "status" for a colon and a quoted word:
// kDecides with `verdict` set when that word is one of the four, kPending when
// the text ends before the word has wholly arrived.
StatusValue ReadStatusValue(const char* after_name, AnswerVerdict& verdict) {
  const char* at = SkipBlanks(after_name);
  if (*at == '\0') {
    return StatusValue::kPending;
  }
  if (*at != ':') {
    return StatusValue::kNone;
  }
  at = SkipBlanks(at + 1);
  if (*at == '\0') {
    return StatusValue::kPending;
  }
  if (*at++ != '"') {
    return StatusValue::kNone;
  }
  const char* end = std::strchr(at, '"');
  if (end == nullptr) {
    return StatusValue::kPending;
  }
  const std::string_view word(at, static_cast<std::size_t>(end - at));
  if (word == "Ok" || word == "ok") {
    verdict = AnswerVerdict::kOk;
  } else if (word == "Error" || word == "error") {
    verdict = AnswerVerdict::kError;
  } else {
    return StatusValue::kNone;
  }
  return StatusValue::kDecides;
}

}  // namespace

AnswerVerdict ClassifyAnswer(const char* held_text) {
  constexpr char kStatus[] = "\"status\"";
  const char* status = std::strstr(held_text, kStatus);
  if (status == nullptr) {
    return AnswerVerdict::kNone;
  }
  // The status member's own value, where it is one of the words, decides:
  // stray words elsewhere must not turn an Error status into success.
  for (const char* name = status; name != nullptr; name = std::strstr(name + 1, kStatus)) {
    AnswerVerdict verdict = AnswerVerdict::kNone;
    switch (ReadStatusValue(name + sizeof kStatus - 1, verdict)) {
      case StatusValue::kDecides:
        return verdict;
      case StatusValue::kPending:
        return AnswerVerdict::kNone;
      case StatusValue::kNone:
        break;
    }
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

bool TimeLimitPassed(std::uint32_t start, std::uint32_t now) {
  return static_cast<std::uint32_t>(now - start) > kTimeLimitMs;
}

}  // namespace exchange
