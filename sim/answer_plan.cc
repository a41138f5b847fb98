#include "sim/answer_plan.h"

#include <iterator>

namespace sim {

std::string ParseAnswerPlan(const std::string& text, std::vector<AnswerMode>& modes) {
  std::vector<AnswerMode> plan;
  for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
    comma = text.find(',', start);
    const auto known = std::find(std::begin(kAnswerModeNames), std::end(kAnswerModeNames),
                                 text.substr(start, comma - start));
    if (known == std::end(kAnswerModeNames)) {
      const std::vector<AnswerMode> all = {AnswerMode::kJudge, AnswerMode::kOk,
                                           AnswerMode::kError, AnswerMode::kNone,
                                           AnswerMode::kClose, AnswerMode::kReset};
      return "each answer must be one of " + AnswerPlanText(all, ", ");
    }
    plan.push_back(static_cast<AnswerMode>(known - std::begin(kAnswerModeNames)));
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
