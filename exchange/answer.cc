#include "exchange/answer.h"

#include <cstring>

#include "platform/socket.h"

namespace exchange {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

// The byte-order mark a UTF-8 writer may put first.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The position of the quote that closes the string whose content begins at
// `from`, or kNotFound while the string goes on past the text.
std::size_t StringEnd(std::string_view text, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++at;  // the escaped byte cannot close the string
    } else if (text[at] == '"') {
      return at;
    }
  }
  return kNotFound;
}

AnswerVerdict StatusWord(std::string_view value) {
  if (value == "Ok" || value == "ok") {
    return AnswerVerdict::kOk;
  }
  if (value == "Error" || value == "error") {
    return AnswerVerdict::kError;
  }
  return AnswerVerdict::kNone;
}

// The quoted words anywhere in the text: "status" required, then an Ok word,
// then an Error word.
AnswerVerdict WordRule(std::string_view text) {
  if (text.find("\"status\"") == kNotFound) {
    return AnswerVerdict::kNone;
  }
  if (text.find("\"Ok\"") != kNotFound || text.find("\"ok\"") != kNotFound) {
    return AnswerVerdict::kOk;
  }
  if (text.find("\"Error\"") != kNotFound || text.find("\"error\"") != kNotFound) {
    return AnswerVerdict::kError;
  }
  return AnswerVerdict::kNone;
}

struct ObjectScan {
  AnswerVerdict status = AnswerVerdict::kNone;  // what its own "status" member decided
  std::size_t end = kNotFound;                  // one past its closing brace, once it has arrived
};

// Reads the object that begins at `start`, tracking depth, strings and
// escapes, until its own "status" member decides or the object ends. Among
// its own members it tells names from values by the colon and comma between
// them.
ObjectScan ScanObject(std::string_view text, std::size_t start) {
  enum class Expect { kName, kColon, kValue, kOther };
  Expect expect = Expect::kOther;
  bool named_status = false;
  std::size_t depth = 0;
  for (std::size_t at = start; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      const std::size_t close = StringEnd(text, at + 1);
      if (close == kNotFound) {
        return {};
      }
      const std::string_view content = text.substr(at + 1, close - at - 1);
      if (depth == 1 && expect == Expect::kName) {
        named_status = content == "status";
        expect = Expect::kColon;
      } else if (depth == 1 && expect == Expect::kValue && named_status &&
                 StatusWord(content) != AnswerVerdict::kNone) {
        return {StatusWord(content), kNotFound};
      } else if (depth == 1) {
        expect = Expect::kOther;
      }
      at = close;
    } else if (c == '{' || c == '[') {
      ++depth;
      expect = depth == 1 ? Expect::kName : Expect::kOther;
    } else if (c == '}' || c == ']') {
      if (--depth == 0) {
        return {AnswerVerdict::kNone, at + 1};
      }
    } else if (depth == 1 && c == ',') {
      expect = Expect::kName;
    } else if (depth == 1 && c == ':' && expect == Expect::kColon) {
      expect = Expect::kValue;
    } else if (depth == 1 && !IsBlank(c)) {
      expect = Expect::kOther;
    }
  }
  return {};
}

// No verdict yet becomes no answer at all once nothing more can arrive.
AnswerVerdict NoneUntilFinal(AnswerVerdict verdict, bool text_is_final) {
  return verdict == AnswerVerdict::kNone && text_is_final ? AnswerVerdict::kNoAnswer : verdict;
}

}  // namespace

AnswerVerdict ClassifyAnswer(std::string_view held_text, bool text_is_final) {
  std::size_t at =
      held_text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  for (;;) {
    while (at < held_text.size() && IsBlank(held_text[at])) {
      ++at;
    }
    if (at == held_text.size()) {
      return NoneUntilFinal(AnswerVerdict::kNone, text_is_final);
    }
    if (held_text[at] != '{') {
      return NoneUntilFinal(WordRule(held_text), text_is_final);
    }
    const ObjectScan object = ScanObject(held_text, at);
    if (object.status != AnswerVerdict::kNone) {
      return object.status;
    }
    if (object.end == kNotFound) {
      return text_is_final ? NoneUntilFinal(WordRule(held_text), true) : AnswerVerdict::kNone;
    }
    const AnswerVerdict words = WordRule(held_text.substr(0, object.end));
    if (words != AnswerVerdict::kNone) {
      return words;
    }
    at = object.end;
  }
}

WaitStep TakeReceive(AnswerBuffer& answer, long received, int error) {
  if (received < 0 && platform::IsConnectionLost(error)) {
    return WaitStep::kConnectionLost;
  }
  if (received < 0 && platform::IsTransientError(error)) {
    return WaitStep::kGoOn;
  }
  answer.fill += received > 0 ? static_cast<int>(received) : 0;
  // A zero byte ends the text for good, as a full buffer and the end of the
  // stream do.
  const std::size_t fill = static_cast<std::size_t>(answer.fill);
  const void* zero = std::memchr(answer.bytes, '\0', fill);
  const std::size_t held =
      zero == nullptr ? fill
                      : static_cast<std::size_t>(static_cast<const char*>(zero) - answer.bytes);
  const bool text_is_final = received <= 0 || held < fill || answer.fill == kAnswerCapacity;
  switch (ClassifyAnswer(std::string_view(answer.bytes, held), text_is_final)) {
    case AnswerVerdict::kOk:
      return WaitStep::kOk;
    case AnswerVerdict::kError:
      return WaitStep::kError;
    case AnswerVerdict::kNoAnswer:
      return WaitStep::kNoAnswer;
    case AnswerVerdict::kNone:
      break;
  }
  return WaitStep::kGoOn;
}

}  // namespace exchange
