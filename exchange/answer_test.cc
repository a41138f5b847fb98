#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <string>

using exchange::AnswerVerdict;

TEST(ClassifyAnswer, FindsTheQuotedWords) {
  const struct {
    std::string text;
    AnswerVerdict expected;
  } cases[] = {
      {R"({"status":"Error","note":"Ok"})", AnswerVerdict::kOk},  // an Ok word anywhere wins
      {R"("Ok" then "status")", AnswerVerdict::kOk},              // in any order, JSON or not
      {R"({"status":"error"})", AnswerVerdict::kError},
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

TEST(AnswerTimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::AnswerTimeLimitPassed;
  EXPECT_FALSE(AnswerTimeLimitPassed(1000, 301000));
  EXPECT_TRUE(AnswerTimeLimitPassed(1000, 301001));
  EXPECT_FALSE(AnswerTimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(AnswerTimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
