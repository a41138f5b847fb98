#pragma once

#include <cstddef>

#include "sim/limits.h"

namespace sim {

// The room all requests held at once take: the first kFreeRequestBytes of
// every request are always given; beyond them, all requests share
// kHeldRequestBudget.
class RequestBudget {
 public:
  // Takes `more` bytes of room for a request that then needs `needed` bytes;
  // false, and nothing taken, when that would go over the budget.
  bool Take(std::size_t needed, std::size_t more) {
    const bool taken = needed <= kFreeRequestBytes || held_ + more <= kHeldRequestBudget;
    held_ += taken ? more : 0;
    return taken;
  }

  void GiveBack(std::size_t room) {
    held_ -= room;
  }

 private:
  std::size_t held_ = 0;
};

}  // namespace sim
