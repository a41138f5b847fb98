#include "exchange/answer.h"

#include <cstring>

namespace exchange {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

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

// Reads the object that begins at the text's first byte, tracking depth,
// strings and escapes, until its own "status" member decides or the object
// ends. Among its own members it tells names from values by the colon and
// comma between them.
ObjectScan ScanObject(std::string_view text) {
  enum class Expect { kName, kColon, kValue, kOther };
  Expect expect = Expect::kOther;
  bool named_status = false;
  std::size_t depth = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
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

AnswerVerdict FinalOr(AnswerVerdict verdict, bool text_is_final) {
  return verdict == AnswerVerdict::kNone && text_is_final ? AnswerVerdict::kNoAnswer : verdict;
}

}  // namespace

AnswerVerdict ClassifyAnswer(std::string_view held_text, bool text_is_final) {
  std::string_view rest = held_text;
  bool after_object = false;
  for (;;) {
    std::size_t start = 0;
    while (start < rest.size() && IsBlank(rest[start])) {
      ++start;
    }
    rest.remove_prefix(start);
    if (rest.empty()) {
      return FinalOr(AnswerVerdict::kNone, text_is_final);
    }
    if (rest.front() != '{') {
      // Once an object has come, what follows may still be cut short: it is
      // judged only when nothing more can arrive.
      if (after_object && !text_is_final) {
        return AnswerVerdict::kNone;
      }
      return FinalOr(WordRule(rest), text_is_final);
    }
    const ObjectScan object = ScanObject(rest);
    if (object.status != AnswerVerdict::kNone) {
      return object.status;
    }
    if (object.end == kNotFound) {
      return text_is_final ? FinalOr(WordRule(rest), true) : AnswerVerdict::kNone;
    }
    const AnswerVerdict words = WordRule(rest.substr(0, object.end));
    if (words != AnswerVerdict::kNone) {
      return words;
    }
    rest.remove_prefix(object.end);
    after_object = true;
  }
}

AnswerVerdict HoldReceived(char (&answer_buffer)[kAnswerCapacity + 1], int& fill, int received) {
  fill += received;
  answer_buffer[fill] = '\0';
  // A zero byte ends the text for good, as a full buffer and a closed
  // connection do.
  const std::size_t held = std::strlen(answer_buffer);
  const bool text_is_final =
      received == 0 || held < static_cast<std::size_t>(fill) || fill == kAnswerCapacity;
  return ClassifyAnswer(std::string_view(answer_buffer, held), text_is_final);
}

bool TimeLimitPassed(std::uint32_t start, std::uint32_t now) {
  return static_cast<std::uint32_t>(now - start) > kTimeLimitMs;
}

}  // namespace exchange
