#pragma once

#include <string>
#include <vector>

#include "sim/answer_plan.h"

namespace sim {

struct ServerOptions {
  std::string address = "127.0.0.1";
  unsigned short port = 4002;  // 0: a free port the client can reach
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
