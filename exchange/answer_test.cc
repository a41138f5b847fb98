#include "exchange/answer.h"

#include <gtest/gtest.h>

#include <string>

using exchange::AnswerVerdict;
using exchange::ClassifyAnswer;

TEST(ClassifyAnswer, FindsTheQuotedWords) {
  const struct {
    const char* text;
    AnswerVerdict expected;
  } cases[] = {
      {R"({"_id":"1000000","status":"Ok"})", AnswerVerdict::kOk},
      {R"({"status":"ok"})", AnswerVerdict::kOk},
      {R"({"status":"Error","message":"bad"})", AnswerVerdict::kError},
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
      {R"({"status":1,"ok":true})", AnswerVerdict::kOk},
      // The words may stand in any order and outside any JSON.
      {R"("Ok" then "status".)", AnswerVerdict::kOk},
      // No "status": no verdict, whatever else is there.
      {R"({"Ok":"Ok","ok":"error"})", AnswerVerdict::kNone},
      {R"({"state":"Ok"})", AnswerVerdict::kNone},
      {R"({"Status":"Ok"})", AnswerVerdict::kNone},
      // Capitals, missing quotes and longer words give no verdict.
      {R"({"status":"OK"})", AnswerVerdict::kNone},
      {R"({"status":"ERROR"})", AnswerVerdict::kNone},
      {R"({"status":"Okay"})", AnswerVerdict::kNone},
      {R"({"status":"Errors"})", AnswerVerdict::kNone},
      {R"({"status":Ok})", AnswerVerdict::kNone},
      {R"({"status)", AnswerVerdict::kNone},
      {"", AnswerVerdict::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyAnswer(c.text), c.expected) << c.text;
  }
}

TEST(ClassifyAnswer, AZeroByteHidesEverythingBehindIt) {
  const std::string hidden("{\0\"status\":\"Ok\"}", 16);
  EXPECT_EQ(ClassifyAnswer(hidden.c_str()), AnswerVerdict::kNone);
  const std::string behind("{\"status\":\"Ok\"}\0junk", 20);
  EXPECT_EQ(ClassifyAnswer(behind.c_str()), AnswerVerdict::kOk);
}

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGone) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 1000));
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  // The counter wraps past 2^32 during the wait.
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFFFFu, 5u));
}
