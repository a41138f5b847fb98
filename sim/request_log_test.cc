#include "sim/request_log.h"

#include <gtest/gtest.h>

#include <limits>

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
