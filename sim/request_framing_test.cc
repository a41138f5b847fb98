#include "sim/request_framing.h"

#include <gtest/gtest.h>

// That a valid object or array ends at its last byte however it is cut is
// for the request framing fuzzer to show; here the rest, and one escape.
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
      {R"({"a":"\"}"})", 11},
      {"{} {}", 2},
      {"{]x", 2},
      {"\"ok\"", kGoesOn},
      {"}{}", 3},
  };
  for (const auto& c : cases) {
    // In two pieces, parted at every position.
    for (std::size_t part = 0; part <= c.received.size(); ++part) {
      sim::RequestScan scan;
      std::size_t end = sim::FindRequestEnd(scan, c.received.data(), part);
      if (end == kGoesOn) {
        end = sim::FindRequestEnd(scan, c.received.data() + part, c.received.size() - part);
        end = end == kGoesOn ? kGoesOn : part + end;
      }
      EXPECT_EQ(end, c.end) << c.received << " parted at " << part;
    }
  }
}
