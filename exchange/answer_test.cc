#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <string>

using Verdict = exchange::AnswerVerdict;

TEST(ClassifyAnswer, AnObjectsOwnStatusDecidesAndTheWordsJudgeTheRest) {
  const struct {
    std::string text;
    Verdict while_open;  // more bytes may come
    Verdict once_final;  // nothing more can come
  } cases[] = {
      {R"({"detail":{"status":"ok"},"status":"Error"})", Verdict::kError, Verdict::kError},
      {R"({"list":[{"code":1,"status":"ok"}],"status":"Error"})", Verdict::kError, Verdict::kError},
      {R"({"status" : "Error" ,"ok":true})", Verdict::kError, Verdict::kError},
      {R"({"note":"status","x":"a\"","status":"error","ok":1)", Verdict::kError, Verdict::kError},
      {R"({"status":"Ok","status":"Error"})", Verdict::kOk, Verdict::kOk},
      // No status word of its own: the words of the whole object, once it ends.
      {R"({"status":"done","result":"ok","x":"Error"})", Verdict::kOk, Verdict::kOk},
      {R"({"status":"done","result":"ok")", Verdict::kNone, Verdict::kOk},
      {R"({"ok":false,"status":"Er)", Verdict::kNone, Verdict::kOk},
      {R"({"detail":{"status":"Error"}})", Verdict::kError, Verdict::kError},
      {R"({"a":"\"status\":\"ok\""})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"Ok":"Ok","ok":"error"})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"status":"OK"} {"status":"Okay"} {"status":Ok})", Verdict::kNone, Verdict::kNoAnswer},
      // Objects one after another; other text after an object only at the end.
      {R"({"hello":"x"} {"status":"Ok"})", Verdict::kOk, Verdict::kOk},
      {R"({"hello":"x"} "status" "error")", Verdict::kNone, Verdict::kError},
      // Text that is no object: the words as they arrive.
      {R"("Ok" then "status".)", Verdict::kOk, Verdict::kOk},
      {R"([{"status":"Error","x":"ok"}])", Verdict::kOk, Verdict::kOk},
      {" \r\n", Verdict::kNone, Verdict::kNoAnswer},
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
