#include "sim/request_budget.h"

#include <gtest/gtest.h>

TEST(RequestBudget, GivesEveryRequestItsFirstBytesAndSharesTheRest) {
  constexpr std::size_t kFree = sim::kFreeRequestBytes;
  constexpr std::size_t kShared = sim::kHeldRequestBudget;
  const struct {
    std::size_t held;        // room taken by other requests
    std::size_t given_back;  // then given back
    std::size_t needed;      // the request's size with its new bytes
    std::size_t more;        // the room that takes
    bool taken;
  } cases[] = {
      {0, 0, kFree + 1, kShared, true},       {1, 0, kFree + 1, kShared, false},
      {kShared, 0, kFree, kFree, true},       {kShared, 0, kFree + 1, 1, false},
      {kShared, 4096, kFree + 1, 4096, true}, {kShared, 4096, kFree + 1, 4097, false},
  };
  for (const auto& c : cases) {
    sim::RequestBudget budget;
    budget.Take(0, c.held);
    budget.GiveBack(c.given_back);
    EXPECT_EQ(budget.Take(c.needed, c.more), c.taken) << c.held << " " << c.needed << " " << c.more;
  }
}
