#include "sim/answer_plan.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace sim {

const char* AnswerModeName(AnswerMode mode) {
  return kAnswerModeNames[static_cast<std::size_t>(mode)];
}

std::string ParseAnswerPlan(const std::string& text, std::vector<AnswerMode>& modes) {
  std::string known;
  for (const char* name : kAnswerModeNames) {
    known += (known.empty() ? "" : ", ") + std::string(name);
  }
  const std::string complaint = "each answer must be one of " + known;
  std::vector<AnswerMode> plan;
  std::istringstream names(text);
  for (std::string name; std::getline(names, name, ',');) {
    const auto known = std::find(std::begin(kAnswerModeNames), std::end(kAnswerModeNames), name);
    if (known == std::end(kAnswerModeNames)) {
      return complaint;
    }
    plan.push_back(static_cast<AnswerMode>(known - std::begin(kAnswerModeNames)));
  }
  if (plan.empty() || text.back() == ',') {
    return complaint;
  }
  modes = plan;
  return "";
}

std::string AnswerPlanText(const std::vector<AnswerMode>& modes) {
  std::string text;
  for (const AnswerMode mode : modes) {
    text += (text.empty() ? "" : ",") + std::string(AnswerModeName(mode));
  }
  return text;
}

AnswerMode AnswerPlan::Next() {
  return modes_[std::min(played_++, modes_.size() - 1)];
}

}  // namespace sim
