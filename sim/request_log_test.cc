#include "sim/request_log.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

using sim::CheckRequest;
using sim::FormatLogEntry;
using sim::FormatRequestLine;
using sim::RequestRecord;

namespace {

// 2025-01-23 12:00:00.123 UTC.
const auto kReceivedAt =
    std::chrono::system_clock::time_point(std::chrono::milliseconds(1737633600123));

RequestRecord Record(const std::string& request, const std::string& answer = "judge",
                     const std::string& sent = "") {
  return {kReceivedAt, "127.0.0.1:50000", request, request.size(), CheckRequest(request), answer,
          sent};
}

}  // namespace

TEST(FormatRequestLine, TellsWhoSentWhatAndTheVerdict) {
  const struct {
    RequestRecord record;
    std::string line;
  } cases[] = {
      {Record(
           R"({"_id":"4432001","params":{"head_id":"2","layer_id":"2","time":17376336011233000},"type":"DSK_Play"})"),
       "2025-01-23 12:00:00.123 UTC 127.0.0.1:50000 layer 4 (layer_id 2, head_id 2) DSK_Play "
       "_id 4432001 time ahead +1000.3 ms: Ok"},
      {Record(
           R"({"_id":"4432001","params":{"head_id":"2","layer_id":"2","time":17376335991230000},"type":"DSK_Stop"})",
           "reset"),
       "2025-01-23 12:00:00.123 UTC 127.0.0.1:50000 layer 4 (layer_id 2, head_id 2) DSK_Stop "
       "_id 4432001 time ahead -1000.0 ms: Ok [answer reset]"},
      {Record(R"({"_id":"7000000","params":{"head_id":"1","layer_id":"3"},"type":"DSK_Cue"})"),
       "2025-01-23 12:00:00.123 UTC 127.0.0.1:50000 layer 7 (layer_id 3, head_id 1) DSK_Cue "
       "_id 7000000 time ahead -: Error - \"params\".\"layer_id\" should be the string \"4\" for "
       "layer 7"},
      // Controls, C1 controls and bidirectional overrides escaped, a backslash doubled.
      {Record(R"({"_id":7,"type":"a\nb\u0085\u009f\u202a\u202e\u2066\u2069\u202f\u00a0\\"})", "ok"),
       "2025-01-23 12:00:00.123 UTC 127.0.0.1:50000 layer - (layer_id -, head_id -) "
       "a\\u000ab\\u0085\\u009f\\u202a\\u202e\\u2066\\u2069\u202f\u00a0\\\\ _id - "
       "time ahead -: Error - \"_id\" is not a string [answer ok]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatRequestLine(c.record), c.line);
  }
}

TEST(FormatLogEntry, HoldsTheRequestAndTheAnswerSent) {
  EXPECT_EQ(FormatLogEntry(Record("{\"type\":\"\xff\"}", "none")),
            "{\"received\":\"2025-01-23T12:00:00Z\",\"peer\":\"127.0.0.1:50000\","
            "\"request\":\"{\\\"type\\\":\\\"\xEF\xBF\xBD\\\"}\",\"request_bytes\":12,"
            "\"request_cut\":false,\"verdict\":\"Error\","
            "\"reason\":\"the request is not one JSON value\",\"answer\":\"none\",\"sent\":\"\"}");
  const std::string parsed = R"({"_id":"1000000","params":{},"type":"DSK_Cue"})";
  const std::string answer = R"({"_id":"1000000","status":"Ok"})";
  EXPECT_EQ(FormatLogEntry(Record(parsed, "ok", answer)),
            R"({"received":"2025-01-23T12:00:00Z","peer":"127.0.0.1:50000","request":)" + parsed +
                R"(,"request_bytes":46,"request_cut":false,"verdict":"Error",)" +
                R"("reason":"\"params\".\"layer_id\" should be the string \"1\" for layer 1",)" +
                R"("answer":"ok","sent":"{\"_id\":\"1000000\",\"status\":\"Ok\"}"})");
}

TEST(FormatLogEntry, HoldsOnlyTheBeginningOfALargeRequest) {
  const std::string large = "{\"blob\":\"" + std::string(5000, 'b') + "\"}";
  const auto entry = nlohmann::json::parse(FormatLogEntry(Record(large)));
  EXPECT_EQ(entry["request"], large.substr(0, sim::kLoggedRequestBytes));
  EXPECT_EQ(entry["request_bytes"], large.size());
  EXPECT_EQ(entry["request_cut"], true);
}
