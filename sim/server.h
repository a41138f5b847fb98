#pragma once

#include <string>
#include <vector>

namespace sim {

// What the sim does once it holds a request: judge it, or one of the
// rehearsal faults.
enum class AnswerMode { kJudge, kOk, kError, kNone, kClose, kReset };

// Each mode by the name the command line and the log spell it with.
struct NamedAnswerMode {
  const char* name;
  AnswerMode mode;
};
constexpr NamedAnswerMode kAnswerModeNames[] = {
    {"judge", AnswerMode::kJudge}, {"ok", AnswerMode::kOk},       {"error", AnswerMode::kError},
    {"none", AnswerMode::kNone},   {"close", AnswerMode::kClose}, {"reset", AnswerMode::kReset}};

struct ServerOptions {
  std::string address = "127.0.0.1";
  unsigned short port = 4002;  // 0: a free port the system picks
  // The answers played in turn, one per request; the last stays for the rest.
  std::vector<AnswerMode> answers = {AnswerMode::kJudge};
  int delay_ms = 0;      // pause between the request and the answer
  bool split = false;    // send the answer in two pieces, parted inside "status"
  std::string log_path;  // JSON Lines of requests, verdicts and answers; empty: none
};

// Listens and serves every connection until SIGINT or SIGTERM; returns the
// process exit status.
int RunServer(const ServerOptions& options);

}  // namespace sim
