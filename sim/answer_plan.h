#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace sim {

// What the sim does once it holds a request: judge it, or one of the
// rehearsal faults.
enum class AnswerMode { kJudge, kOk, kError, kNone, kClose, kReset };

// Each mode by the name the command line and the log spell it with, in the
// order of the enumeration.
constexpr const char* kAnswerModeNames[] = {"judge", "ok", "error", "none", "close", "reset"};

inline const char* AnswerModeName(AnswerMode mode) {
  return kAnswerModeNames[static_cast<std::size_t>(mode)];
}

// Reads "MODE[,MODE...]" into `modes`; the message tells what is wrong, empty
// when nothing is.
std::string ParseAnswerPlan(const std::string& text, std::vector<AnswerMode>& modes);

// The modes as the command line spells them: "judge,error".
std::string AnswerPlanText(const std::vector<AnswerMode>& modes, const char* separator = ",");

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
