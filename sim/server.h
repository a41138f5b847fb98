#pragma once

#include <string>

namespace sim {

// What the sim does once it holds a request: judge it, or one of the
// rehearsal faults.
enum class AnswerMode { kJudge, kOk, kError, kNone, kClose, kReset };

struct ServerOptions {
  std::string address = "127.0.0.1";
  unsigned short port = 4002;
  AnswerMode answer = AnswerMode::kJudge;
  int delay_ms = 0;      // pause between the request and the answer
  bool split = false;    // send the answer in two pieces, parted inside "status"
  std::string log_path;  // JSON Lines of raw requests and verdicts; empty: none
};

// Listens and serves every connection until SIGINT or SIGTERM; returns the
// process exit status.
int RunServer(const ServerOptions& options);

}  // namespace sim
