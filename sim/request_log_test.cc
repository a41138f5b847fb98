#include "sim/request_log.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

TEST(FormatRequestLine, TellsHowFarTimeLiesAheadForEvery64BitTime) {
  const struct {
    std::int64_t time;  // received one second after 1970 began: 10000000
    std::string ahead;
  } cases[] = {
      {10005000, "+0.5 ms"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203686477.6 ms"},
      {std::numeric_limits<std::int64_t>::max(), "+922337203684477.5 ms"},
  };
  for (const auto& c : cases) {
    sim::RequestRecord record;
    record.received_at = std::chrono::system_clock::time_point(std::chrono::seconds(1));
    record.verdict.time = c.time;
    const std::string line = sim::FormatRequestLine(record);
    EXPECT_NE(line.find(" time ahead " + c.ahead + ": "), std::string::npos) << line;
  }
}

TEST(FormatRequestLine, ShowsWhatATerminalWouldActOnAsEscapes) {
  sim::RequestRecord record;
  record.verdict.type = "DSK_Pause\xC2\x85\xE2\x80\xAE\x1B\\";  // C1 control, override, escape
  const std::string line = sim::FormatRequestLine(record);
  EXPECT_NE(line.find(" DSK_Pause\\u0085\\u202e\\u001b\\\\ _id "), std::string::npos) << line;
}

TEST(FormatLogEntry, ShowsARequestNestedDeeperThanTheClientSendsAsText) {
  for (const std::size_t depth : {512, 513}) {
    sim::RequestRecord record;
    record.request = std::string(depth, '[') + std::string(depth, ']');
    record.request_bytes = record.request.size();
    const nlohmann::json entry = nlohmann::json::parse(sim::FormatLogEntry(record));
    EXPECT_EQ(entry["request"].is_string(), depth > 512) << depth;
  }
}
