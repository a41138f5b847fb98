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
      {R"({"detail":{"code":7,"status":"ok"},"status":"Error"})", Verdict::kError, Verdict::kError},
      {R"({"note":"status","x":"a\"","status":"error","ok":1)", Verdict::kError, Verdict::kError},
      {"\xEF\xBB\xBF{\"status\":\"Error\",\"ok\":false}", Verdict::kError, Verdict::kError},
      // No status word of its own: the words of the whole text, once an object ends.
      {R"({"detail":{"status":"ok"}})", Verdict::kOk, Verdict::kOk},
      {R"({"ok":false,"status":"Er)", Verdict::kNone, Verdict::kOk},
      {R"({"status":"received"} {"result":"ok"})", Verdict::kOk, Verdict::kOk},
      {R"({"status":"\u0045rror"})", Verdict::kNone, Verdict::kNoAnswer},
      {R"({"status":"OK"} {"status":"Okay"} {"status":Ok})", Verdict::kNone, Verdict::kNoAnswer},
      // Text that is no object, also after objects: the words as they arrive.
      {R"({"hello":"x"}, {"status":"Ok"})", Verdict::kOk, Verdict::kOk},
      {R"({"hello":"x"} "status" "error")", Verdict::kError, Verdict::kError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, false), c.while_open) << c.text;
    EXPECT_EQ(exchange::ClassifyAnswer(c.text, true), c.once_final) << c.text;
  }
}

TEST(TakeReceive, EndsTheWaitOnceNothingMoreCanArrive) {
  using Step = exchange::WaitStep;
  const std::string pending = R"({"status":"done","result":"ok")";
  const std::string full = R"({"status":"busy")" + std::string(1008, ' ');
  const struct {
    std::string arrived;  // the answer's bytes, the last `received` of them in this receive
    long received;        // 0 for the end of the stream, -1 for a failure
    int error;
    Step step;
  } cases[] = {
      {pending, 0, 0, Step::kOk},
      {pending, -1, ECONNABORTED, Step::kOk},
      {pending, -1, EINTR, Step::kGoOn},
      {R"({"status":"done")", -1, EIO, Step::kNoAnswer},
      {R"({"status":"done")", -1, ECONNRESET, Step::kConnectionLost},
      {R"({"status":"done")", -1, ETIMEDOUT, Step::kConnectionLost},
      {full, 1, 0, Step::kNoAnswer},
      {std::string(R"({"status":"busy"})") + '\0' + R"({"status":"Ok"})", 16, 0, Step::kNoAnswer},
  };
  for (const auto& c : cases) {
    exchange::AnswerBuffer answer;
    std::memcpy(answer.bytes, c.arrived.data(), c.arrived.size());
    answer.fill =
        static_cast<int>(c.arrived.size() - static_cast<std::size_t>(std::max(c.received, 0L)));
    EXPECT_EQ(exchange::TakeReceive(answer, c.received, c.error), c.step)
        << c.arrived.substr(0, 40) << " " << c.received << " " << c.error;
  }
}

TEST(TimeLimit, EndsOnlyWhenMoreThanFiveMinutesHaveGoneAcrossTheCounterWrap) {
  using exchange::TimeLimitPassed;
  EXPECT_FALSE(TimeLimitPassed(1000, 301000));
  EXPECT_TRUE(TimeLimitPassed(1000, 301001));
  EXPECT_FALSE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300000u));
  EXPECT_TRUE(TimeLimitPassed(0xFFFFFF00u, 0xFFFFFF00u + 300001u));
}
