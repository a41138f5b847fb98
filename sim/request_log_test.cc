#include "sim/request_log.h"

#include <gtest/gtest.h>

using sim::CheckRequest;
using sim::FormatLogEntry;
using sim::FormatRequestLine;
using sim::RequestRecord;

namespace {

// 2025-01-23 12:00:00.123 UTC.
const auto kReceivedAt =
    std::chrono::system_clock::time_point(std::chrono::milliseconds(1737633600123));

RequestRecord Record(const std::string& request, const std::string& answer = "judge") {
  return {kReceivedAt, "127.0.0.1:50000", request, CheckRequest(request), answer};
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
      {Record("{\"_id\":7,\"type\":\"a\\nb\"}", "ok"),
       "2025-01-23 12:00:00.123 UTC 127.0.0.1:50000 layer - (layer_id -, head_id -) a?b _id - "
       "time ahead -: Error - \"_id\" is not a string [answer ok]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatRequestLine(c.record), c.line);
  }
}

TEST(FormatLogEntry, HoldsTheRawRequestEvenWhenItIsNotUtf8) {
  EXPECT_EQ(FormatLogEntry(Record("{\"type\":\"\xff\"}", "none")),
            "{\"received\":\"2025-01-23 12:00:00.123\",\"peer\":\"127.0.0.1:50000\","
            "\"request\":\"{\\\"type\\\":\\\"\xEF\xBF\xBD\\\"}\",\"verdict\":\"Error\","
            "\"reason\":\"the request is not one JSON value\",\"answer\":\"none\"}");
}
