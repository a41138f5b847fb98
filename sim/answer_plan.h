#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

namespace sim {

// What the sim does once it holds a request: judge it, or one of the
// rehearsal faults.
enum class AnswerMode { kJudge, kOk, kError, kNone, kClose, kReset };

// Each mode by the name the command line and the log spell it with, in the
// order of the enumeration.
constexpr const char* kAnswerModeNames[] = {"judge", "ok", "error", "none", "close", "reset"};

// The modes as the command line spells them: "judge,error"; one mode alone,
// its name.
inline std::string AnswerPlanText(const std::vector<AnswerMode>& modes,
                                  const char* separator = ",") {
  std::string text;
  for (const AnswerMode mode : modes) {
    text += (text.empty() ? "" : separator) + std::string(kAnswerModeNames[static_cast<int>(mode)]);
  }
  return text;
}

// Reads "MODE[,MODE...]" into `modes`; the message tells what is wrong, empty
// when nothing is.
inline std::string ParseAnswerPlan(const std::string& text, std::vector<AnswerMode>& modes) {
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

// The modes played in turn, one per request judged; the last stays for the
// rest.
struct AnswerPlan {
  std::vector<AnswerMode> modes;
  std::size_t played = 0;  // requests judged so far
  AnswerMode Next() {
    return modes[std::min(played++, modes.size() - 1)];
  }
};

}  // namespace sim
