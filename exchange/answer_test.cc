#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <string>

using exchange::AnswerVerdict;

namespace {

constexpr AnswerVerdict kNone = AnswerVerdict::kNone;
constexpr AnswerVerdict kOk = AnswerVerdict::kOk;
constexpr AnswerVerdict kError = AnswerVerdict::kError;
constexpr AnswerVerdict kNoAnswer = AnswerVerdict::kNoAnswer;

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

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
