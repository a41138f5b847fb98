#pragma once

#include <asio/ip/tcp.hpp>

#include "sim/answer_plan.h"
#include "sim/connection_table.h"
#include "sim/request_budget.h"
#include "sim/request_log.h"
#include "sim/server.h"

namespace sim {

// What every session shares, each part with an owner of its own.
struct SessionShare {
  const ServerOptions& options;
  ConnectionTable& connections;
  RequestBudget& budget;
  AnswerPlan& plan;
  RequestLog& log;
};

// Serves one accepted connection until it closes; the connection table holds
// it meanwhile.
void StartSession(asio::ip::tcp::socket socket, SessionShare& share);

}  // namespace sim
