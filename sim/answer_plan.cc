#include "sim/answer_plan.h"

#include <iterator>
#include <sstream>

namespace sim {

std::string ParseAnswerPlan(const std::string& text, std::vector<AnswerMode>& modes) {
  std::vector<AnswerMode> plan;
  std::istringstream names(text);
  for (std::string name; std::getline(names, name, ',');) {
    const auto known = std::find(std::begin(kAnswerModeNames), std::end(kAnswerModeNames), name);
    if (known == std::end(kAnswerModeNames)) {
      plan.clear();
      break;
    }
    plan.push_back(static_cast<AnswerMode>(known - std::begin(kAnswerModeNames)));
  }
  if (plan.empty() || text.back() == ',') {
    const std::vector<AnswerMode> all = {AnswerMode::kJudge, AnswerMode::kOk,
                                         AnswerMode::kError, AnswerMode::kNone,
                                         AnswerMode::kClose, AnswerMode::kReset};
    return "each answer must be one of " + AnswerPlanText(all, ", ");
  }
  modes = plan;
  return "";
}

std::string AnswerPlanText(const std::vector<AnswerMode>& modes, const char* separator) {
  std::string text;
  for (const AnswerMode mode : modes) {
    text += (text.empty() ? "" : separator) + std::string(AnswerModeName(mode));
  }
  return text;
}

}  // namespace sim
