#include "exchange/answer.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "exchange/time_limit.h"

using Verdict = exchange::AnswerVerdict;

TEST(ClassifyAnswer, AnObjectsOwnStatusDecidesAndTheWordsJudgeTheRest) {
  const struct {
    std::string text;
    Verdict while_open;  // more bytes may come
    Verdict once_final;  // nothing more can come
  } cases[] = {
      {R"({"detail":{"status":"ok"},"status":"Error"})", Verdict::kError, Verdict::kError},
      {R"({"status" : "Error" ,"ok":true})", Verdict::kError, Verdict::kError},
      {R"({"note":"status","x":"a\"","status":"error","ok":1)", Verdict::kError, Verdict::kError},
      {R"({"status":"Ok","status":"Error"})", Verdict::kOk, Verdict::kOk},
      {"\xEF\xBB\xBF{\"status\":\"Error\",\"ok\":false}", Verdict::kError, Verdict::kError},
      // No status word of its own: the words of the whole text, once it ends.
      {R"({"detail":{"status":"ok"}})", Verdict::kOk, Verdict::kOk},
      {R"({"status":"done","result":"ok")", Verdict::kNone, Verdict::kOk},
      {R"({"ok":false,"status":"Er)", Verdict::kNone, Verdict::kOk},
      {R"({"status":"received"} {"result":"ok"})", Verdict::kOk, Verdict::kOk},
      {R"({"status":"received"} {"status":"Error","ok":1})", Verdict::kError, Verdict::kError},
      {R"({"a":"\"status\":\"ok\""})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"Ok":"Ok","ok":"error"})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"status":"\u0045rror"})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"status":"OK"} {"status":"Okay"} {"status":Ok})", Verdict::kNone, Verdict::kNoAnswer},
      // Text that is no object, also after objects: the words as they arrive.
      {R"({"hello":"x"}, {"status":"Ok"})", Verdict::kOk, Verdict::kOk},
      {R"({"hello":"x"} "status" "error")", Verdict::kError, Verdict::kError},
      {R"("Ok" then "status".)", Verdict::kOk, Verdict::kOk},
      {R"([{"status":"Error","x":"ok"}])", Verdict::kOk, Verdict::kOk},
      {" \r\n", Verdict::kNone, Verdict::kNoAnswer},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, false), c.while_open) << c.text;
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, true), c.once_final) << c.text;
  }
}

TEST(TakeReceive, EndsTheWaitOnceNothingMoreCanArrive) {
  using Step = exchange::WaitStep;
  const struct {
    const char* held;  // the answer bytes received before
    long received;     // bytes, 0 for the end of the stream, -1 for a failure
    int error;
    Step step;
  } cases[] = {
      {R"({"status":"done","result":"ok")", 0, 0, Step::kOk},
      {R"({"status":"done","result":"ok")", -1, ECONNABORTED, Step::kOk},
      {R"({"status":"done","result":"ok")", -1, EIO, Step::kOk},
      {R"({"status":"done","result":"ok")", -1, EINTR, Step::kGoOn},
      {R"({"status":"done","result":"ok")", -1, EAGAIN, Step::kGoOn},
      {R"({"status":"done")", -1, ECONNABORTED, Step::kNoAnswer},
      {R"({"status":"done")", -1, ECONNRESET, Step::kConnectionLost},
      {R"({"status":"done")", -1, ENOTCONN, Step::kConnectionLost},
      {R"({"status":"done")", -1, ETIMEDOUT, Step::kConnectionLost},
  };
  for (const auto& c : cases) {
    exchange::AnswerBuffer answer;
    std::memcpy(answer.bytes, c.held, std::strlen(c.held));
    exchange::TakeReceive(answer, static_cast<long>(std::strlen(c.held)), 0);
    EXPECT_EQ(exchange::TakeReceive(answer, c.received, c.error), c.step)
        << c.held << " " << c.received << " " << c.error;
  }
}

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
