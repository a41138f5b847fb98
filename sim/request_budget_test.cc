#include "sim/request_budget.h"

#include <gtest/gtest.h>

TEST(RequestBudget, GivesEveryRequestItsFirstBytesAndSharesTheRest) {
  constexpr std::size_t kFree = sim::kFreeRequestBytes, kShared = sim::kHeldRequestBudget;
  const struct {
    std::size_t held, given_back, needed, more;
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
