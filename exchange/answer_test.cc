#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using exchange::AnswerVerdict;

namespace {

constexpr AnswerVerdict kNone = AnswerVerdict::kNone;
constexpr AnswerVerdict kOk = AnswerVerdict::kOk;
constexpr AnswerVerdict kError = AnswerVerdict::kError;
constexpr AnswerVerdict kNoAnswer = AnswerVerdict::kNoAnswer;

// The verdict the wait reaches when the answer arrives in the given pieces,
// the last followed by the server closing its side.
AnswerVerdict Receive(const std::string& first, const std::string& second = "") {
  char buffer[exchange::kAnswerCapacity + 1];
  int fill = 0;
  for (const std::string& piece : {first, second}) {
    if (piece.empty()) {
      continue;
    }
    const int size = std::min(static_cast<int>(piece.size()), exchange::kAnswerCapacity - fill);
    std::memcpy(buffer + fill, piece.data(), static_cast<std::size_t>(size));
    const AnswerVerdict verdict = exchange::HoldReceived(buffer, fill, size);
    if (verdict != kNone) {
      return verdict;
    }
  }
  return exchange::HoldReceived(buffer, fill, 0);
}

}  // namespace

TEST(ClassifyAnswer, AnObjectsOwnStatusDecidesAndTheWordsJudgeTheRest) {
  const struct {
    std::string text;
    AnswerVerdict while_open;  // more bytes may come
    AnswerVerdict once_final;  // nothing more can come
  } cases[] = {
      {R"({"detail":{"status":"ok"},"status":"Error"})", kError, kError},
      {R"({"list":[{"code":1,"status":"ok"}],"status":"Error"})", kError, kError},
      {R"({"status" : "Error" ,"ok":true})", kError, kError},
      {R"({"note":"status","x":"a\"","status":"error","ok":1)", kError, kError},
      {R"({"status":"Ok","status":"Error"})", kOk, kOk},
      // No status word of its own: the words of the whole object, once it ends.
      {R"({"status":"done","result":"ok","x":"Error"})", kOk, kOk},
      {R"({"status":"done","result":"ok")", kNone, kOk},
      {R"({"ok":false,"status":"Er)", kNone, kOk},
      {R"({"detail":{"status":"Error"}})", kError, kError},
      {R"({"a":"\"status\":\"ok\""})", kNone, kNoAnswer},
      {R"({"Ok":"Ok","ok":"error"})", kNone, kNoAnswer},
      {R"({"status":"OK"} {"status":"Okay"} {"status":Ok})", kNone, kNoAnswer},
      // Objects one after another; other text after an object only at the end.
      {R"({"hello":"x"} {"status":"Ok"})", kOk, kOk},
      {R"({"hello":"x"} "status" "error")", kNone, kError},
      // Text that is no object: the words as they arrive.
      {R"("Ok" then "status".)", kOk, kOk},
      {R"([{"status":"Error","x":"ok"}])", kOk, kOk},
      {" \r\n", kNone, kNoAnswer},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, false), c.while_open) << c.text;
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, true), c.once_final) << c.text;
  }
}

TEST(HoldReceived, AFullBufferAZeroByteOrAClosedConnectionDecideAtOnce) {
  const std::string full = R"({"ok":true,)" + std::string(1002, ' ') + R"("status":"Ok"})";
  EXPECT_EQ(Receive(full), kOk);  // cut after "O: the words decide
  EXPECT_EQ(Receive(std::string(1024, ' ') + R"({"status":"Ok"})"), kNoAnswer);
  EXPECT_EQ(Receive(std::string("{\"x\":1\0", 7), R"("status":"Ok"})"), kNoAnswer);
  EXPECT_EQ(Receive(std::string("{\"status\":\"Ok\"}\0junk", 20)), kOk);
  EXPECT_EQ(Receive(R"({"status":"pending")"), kNoAnswer);
}

TEST(HoldReceived, TheVerdictDoesNotDependOnWhereTheAnswerIsSplit) {
  const struct {
    std::string answer;
    AnswerVerdict expected;
  } cases[] = {
      {R"({"layer":{"status":"busy"},"ok":false,"status":"Error"})", kError},
      {R"({"detail":{"status":"ok"},"note":"\"Error\"","status":"Error"})", kError},
      {R"( {"_id":"1000000","status":"Ok"})", kOk},
      {R"({"status":"done","result":"ok"})", kOk},
  };
  for (const auto& c : cases) {
    for (std::size_t cut = 0; cut <= c.answer.size(); ++cut) {
      EXPECT_EQ(Receive(c.answer.substr(0, cut), c.answer.substr(cut)), c.expected)
          << c.answer.substr(0, cut) << " | " << c.answer.substr(cut);
    }
  }
}

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
