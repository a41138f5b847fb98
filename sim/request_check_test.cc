#include "sim/request_check.h"

#include <gtest/gtest.h>

// The requests a client of this project never sends; the end-to-end tests
// show the sim judging the ones it does.
TEST(CheckRequest, JudgesBrokenRequests) {
  const struct {
    std::string request, reason;  // an empty reason: accepted
  } cases[] = {
      {R"({"_id":"99863999","params":{"head_id":"1","layer_id":"50","time":-5},"type":"DSK_Cue"})",
       ""},
      {R"({"_id":"1000000","params":{}}x)", "the request is not one JSON value"},
      {"[1]", "the request is not a JSON object"},
      {R"({"params":{},"type":"DSK_Cue"})", "\"_id\" is missing"},
      {R"({"_id":1000000,"params":{},"type":"DSK_Cue"})", "\"_id\" is not a string"},
      {R"({"_id":"-1000000","params":{},"type":"DSK_Cue"})",
       "\"_id\" is not a string of decimal digits"},
      {R"({"_id":"01000000","params":{},"type":"DSK_Cue"})", "\"_id\" has a leading zero"},
      {R"({"_id":"999999","params":{},"type":"DSK_Cue"})",
       "\"_id\" does not give a layer 1..99 in its millions"},
      {R"({"_id":"100000000","params":{},"type":"DSK_Cue"})",
       "\"_id\" does not give a layer 1..99 in its millions"},
      {R"({"_id":"1864000","params":{},"type":"DSK_Cue"})",
       "\"_id\" holds no time of day below its millions"},
      {R"({"_id":"1000000","params":{}})", "\"type\" is missing"},
      {R"({"_id":"1000000","params":{},"type":["DSK_Cue"]})", "\"type\" is not a string"},
      {R"({"_id":"1000000","type":"DSK_Cue"})", "\"params\" is missing"},
      {R"({"_id":"1000000","params":[],"type":"DSK_Cue"})", "\"params\" is not an object"},
      {R"({"_id":"4000000","params":{"head_id":"2","layer_id":2},"type":"DSK_Cue"})",
       "\"params\".\"layer_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"4000000","params":{"head_id":"1","layer_id":"2"},"type":"DSK_Cue"})",
       "\"params\".\"head_id\" should be the string \"2\" for layer 4"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1","time":"1"},"type":"DSK_Stop"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1","time":1.5},"type":"DSK_Continue"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1","time":9223372036854775808},"type":"DSK_Play"})",
       "\"params\".\"time\" should be an integer for a timed command"},
      {R"({"_id":"1000000","params":{"head_id":"1","layer_id":"1"},"type":"SCTE_SetMessage"})",
       "\"params\".\"time\" should be an integer for a timed command"},
  };
  for (const auto& c : cases) {
    const sim::RequestVerdict verdict = sim::CheckRequest(c.request);
    EXPECT_EQ(verdict.accepted, c.reason.empty()) << c.request;
    EXPECT_EQ(verdict.reason, c.reason) << c.request;
  }
}
