#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <string>

using exchange::AnswerVerdict;

TEST(ClassifyAnswer, FindsTheQuotedWords) {
  const struct {
    std::string text;
    AnswerVerdict expected;
  } cases[] = {
      {R"({"status":"Error","note":"Ok"})", AnswerVerdict::kError},
      {R"("Ok" then "status".)", AnswerVerdict::kOk},  // in any order, JSON or not
      {R"({"status":"error"})", AnswerVerdict::kError},
      // The status member's word decides over stray words elsewhere.
      {R"({"status":"Error","ok":false})", AnswerVerdict::kError},
      {R"({"status" : "Error","detail":"ok"})", AnswerVerdict::kError},
      {R"({"ok":1,"note":"status","status":"error"})", AnswerVerdict::kError},
      // Until the status value has wholly arrived, there is no verdict.
      {R"({"ok":false,"status":"Er)", AnswerVerdict::kNone},
      {R"({"ok":false,"status" :)", AnswerVerdict::kNone},
      {R"({"ok":false,"status")", AnswerVerdict::kNone},
      // With another status value, an Ok word anywhere wins as before.
      {R"({"status":"done","result":"ok","x":"Error"})", AnswerVerdict::kOk},
      {R"({"Ok":"Ok","ok":"error"})", AnswerVerdict::kNone},  // no "status"
      {R"({"Status":"Ok"})", AnswerVerdict::kNone},
      {R"({"status":"ERROR"})", AnswerVerdict::kNone},
      {R"({"status":"Okay"})", AnswerVerdict::kNone},
      {R"({"status":Ok})", AnswerVerdict::kNone},
      {std::string("{\0\"status\":\"Ok\"}", 16), AnswerVerdict::kNone},  // a zero hides the rest
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exchange::ClassifyAnswer(c.text.c_str()), c.expected) << c.text;
  }
}

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
