#include "sim/request_check.h"

#include <gtest/gtest.h>

using sim::CheckRequest;
using sim::EncodeAnswer;
using sim::FindRequestEnd;
using sim::RequestScan;
using sim::RequestVerdict;

TEST(FindRequestEnd, EndsWhereTheRootValueEndsWhereverThePiecesPart) {
  constexpr std::size_t kGoesOn = std::string::npos;
  const struct {
    std::string received;
    std::size_t end;
  } cases[] = {
      {"", kGoesOn},
      {"{", kGoesOn},
      {R"({"_id":"1000000","params":{)", kGoesOn},
      {R"({"a":"}")", kGoesOn},
      {R"({"a":"}"})", 9},
      {R"({"a":"\"}"})", 11},
      {R"({"a":"\\"})", 10},
      {R"({"a":[1,{}]})", 12},
      {"[1]", 3},
      {" \r\n{}", 5},
      {"{} {}", 2},
      {"{]x", 2},
      {"\"ok\"", kGoesOn},
      {"}{}", 3},
  };
  for (const auto& c : cases) {
    // In two pieces, parted at every position.
    for (std::size_t part = 0; part <= c.received.size(); ++part) {
      RequestScan scan;
      std::size_t end = FindRequestEnd(scan, c.received.data(), part);
      if (end == kGoesOn) {
        end = FindRequestEnd(scan, c.received.data() + part, c.received.size() - part);
        end = end == kGoesOn ? kGoesOn : part + end;
      }
      EXPECT_EQ(end, c.end) << c.received << " parted at " << part;
    }
  }
}

TEST(CheckRequest, JudgesGoodAndBrokenRequests) {
  const struct {
    std::string request;
    std::string reason;  // empty: accepted
  } cases[] = {
      {R"({"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},"type":"DSK_Play"})",
       ""},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"})", ""},
      {R"({"_id":"1000099","extra":[1],"params":{"head_id":"1","layer_id":"1","time":"keep"},"type":"DSK_Eject"})",
       ""},
      {R"({"_id":"99863999","params":{"head_id":"1","layer_id":"50","time":-5},"type":"SCTE_SetMessage"})",
       ""},
      {R"({"_id":"12036000","params":{"head_id":"2","layer_id":"6","time":0},"type":"DSK_Continue"})",
       ""},
      {R"({"_id":"3000001","params":{"head_id":"1","layer_id":"2","time":1},"type":"DSK_Stop"})",
       ""},

      {R"({"_id":"1000000","params":{}})"
       "x",
       "the request is not one JSON value"},
      {"[1]", "the request is not a JSON object"},
      {R"({"params":{},"type":"DSK_Cue"})", "\"_id\" is missing"},
      {R"({"_id":1000000,"params":{},"type":"DSK_Cue"})", "\"_id\" is not a string"},
      {R"({"_id":"","params":{},"type":"DSK_Cue"})", "\"_id\" is not a string of decimal digits"},
      {R"({"_id":"-1000000","params":{},"type":"DSK_Cue"})",
       "\"_id\" is not a string of decimal digits"},
      {R"({"_id":"1 000000","params":{},"type":"DSK_Cue"})",
       "\"_id\" is not a string of decimal digits"},
      {R"({"_id":"01000000","params":{},"type":"DSK_Cue"})", "\"_id\" has a leading zero"},
      {R"({"_id":"0","params":{},"type":"DSK_Cue"})",
       "\"_id\" does not give a layer 1..99 in its millions"},
      {R"({"_id":"999999","params":{},"type":"DSK_Cue"})",
       "\"_id\" does not give a layer 1..99 in its millions"},
      {R"({"_id":"100000000","params":{},"type":"DSK_Cue"})",
       "\"_id\" does not give a layer 1..99 in its millions"},
      {R"({"_id":"1864000","params":{},"type":"DSK_Cue"})",
       "\"_id\" holds no time of day below its millions"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"}})", "\"type\" is missing"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":["DSK_Cue"]})",
       "\"type\" is not a string"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Pause"})",
       "\"type\" is not a known command type"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":"dsk_cue"})",
       "\"type\" is not a known command type"},
      {R"({"_id":"1000000","type":"DSK_Cue"})", "\"params\" is missing"},
      {R"({"_id":"1000000","params":[],"type":"DSK_Cue"})", "\"params\" is not an object"},
      {R"({"_id":"4000000","params":{"head_id":"2"},"type":"DSK_Cue"})",
       "\"params\".\"layer_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"4000000","params":{"head_id":"2","layer_id":2},"type":"DSK_Cue"})",
       "\"params\".\"layer_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"5000000","params":{"head_id":"1","layer_id":"2"},"type":"DSK_Cue"})",
       "\"params\".\"layer_id\" should be the string \"3\" for layer 5"},
      {R"({"_id":"4000000","params":{"layer_id":"2"},"type":"DSK_Cue"})",
       "\"params\".\"head_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"4000000","params":{"head_id":"1","layer_id":"2"},"type":"DSK_Cue"})",
       "\"params\".\"head_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"99000000","params":{"head_id":"1","layer_id":"50"},"type":"DSK_Play"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"99000000","params":{"head_id":"1","layer_id":"50","time":"1"},"type":"DSK_Stop"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"99000000","params":{"head_id":"1","layer_id":"50","time":1.5},"type":"DSK_Continue"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"99000000","params":{"head_id":"1","layer_id":"50","time":9223372036854775808},"type":"SCTE_SetMessage"})",
       "\"params\".\"time\" should be an integer for a timed command"},
  };
  for (const auto& c : cases) {
    const RequestVerdict verdict = CheckRequest(c.request);
    EXPECT_EQ(verdict.accepted, c.reason.empty()) << c.request;
    EXPECT_EQ(verdict.reason, c.reason) << c.request;
  }
}

TEST(CheckRequest, TellsWhatTheRequestSaysEvenWhenItIsRefused) {
  const RequestVerdict good = CheckRequest(
      R"({"_id":"12036000","params":{"head_id":"2","layer_id":"6","time":17376336010000000},"type":"DSK_Play"})");
  EXPECT_EQ(good.id, "12036000");
  EXPECT_EQ(good.layer, 12);
  EXPECT_EQ(good.type, "DSK_Play");
  EXPECT_EQ(good.layer_id, "6");
  EXPECT_EQ(good.head_id, "2");
  EXPECT_EQ(good.time, 17376336010000000);

  const RequestVerdict refused =
      CheckRequest(R"({"_id":"ok","params":{"layer_id":"7","time":-3},"type":"DSK_Stop"})");
  EXPECT_FALSE(refused.accepted);
  EXPECT_EQ(refused.id, "");
  EXPECT_EQ(refused.layer, 0);
  EXPECT_EQ(refused.type, "DSK_Stop");
  EXPECT_EQ(refused.layer_id, "7");
  EXPECT_EQ(refused.head_id, "");
  EXPECT_EQ(refused.time, -3);
}

TEST(EncodeAnswer, OkAndErrorAnswers) {
  EXPECT_EQ(EncodeAnswer("4432000", true, ""), R"({"_id":"4432000","status":"Ok"})");
  EXPECT_EQ(EncodeAnswer("", false, "\"type\" is missing"),
            R"({"_id":"","status":"Error","message":"\"type\" is missing"})");
}

TEST(EncodeAnswer, NoRefusalReadsAsOkToTheClient) {
  // The client takes a quoted Ok word anywhere in the answer as acceptance, so
  // no reason may produce one, whatever the request held.
  const std::string requests[] = {
      R"({"_id":"ok","params":{},"type":"ok"})",
      R"({"_id":"1000000","params":{"head_id":"ok","layer_id":"Ok"},"type":"DSK_Cue"})",
      R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":"Ok"})",
      "\"ok\"",
  };
  for (const std::string& request : requests) {
    const RequestVerdict verdict = CheckRequest(request);
    ASSERT_FALSE(verdict.accepted) << request;
    const std::string answer = EncodeAnswer(verdict.id, false, verdict.reason);
    EXPECT_EQ(answer.find("\"ok\""), std::string::npos) << answer;
    EXPECT_EQ(answer.find("\"Ok\""), std::string::npos) << answer;
    EXPECT_NE(answer.find("\"status\":\"Error\""), std::string::npos) << answer;
  }
}
