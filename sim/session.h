#pragma once

#include <asio/ip/tcp.hpp>
#include <chrono>

#include "sim/answer_plan.h"
#include "sim/connection_table.h"
#include "sim/request_budget.h"
#include "sim/request_log.h"

namespace sim {

// What every session shares: how to answer, and the server's parts, each the
// one owner of what it holds.
struct SessionShare {
  std::chrono::milliseconds delay;  // between the request and the answer
  bool split;                       // the answer in two pieces, parted inside "status"
  ConnectionTable connections;
  RequestBudget budget;
  AnswerPlan plan;
  RequestLog log;
};

// Serves one accepted connection by the protocol until it closes; the
// connection table holds it meanwhile.
void StartSession(asio::ip::tcp::socket socket, SessionShare& share);

}  // namespace sim
