#pragma once

#include <chrono>
#include <cstddef>

// The limits that keep a careless or hostile client from making the sim the
// reason a rehearsal fails, each in one place.
namespace sim {

constexpr std::size_t kMiB = std::size_t{1024} * 1024;

// How long a connection may take to send the first byte of its request: the
// client connects before it reads its command file, which may take it five
// minutes (a pipe from a slow producer). A margin on top.
constexpr std::chrono::minutes kFirstByteTimeLimit(6);
// How long a request may take from its first byte to its end.
constexpr std::chrono::seconds kRequestTimeLimit(10);
// The most request bytes collected from one connection.
constexpr std::size_t kRequestByteLimit = 1 * kMiB;
// Request bytes: the first ones of every request are always taken; beyond
// them, all requests held at once share a budget.
constexpr std::size_t kFreeRequestBytes = std::size_t{16} * 1024;
constexpr std::size_t kHeldRequestBudget = 64 * kMiB;
// The most connections the sim keeps open at once on any platform.
constexpr std::size_t kMostConnections = 1000;
// The most bytes of one request a log entry holds, and the deepest nesting
// of brackets it shows as JSON, the client's own limit: deeper ones are shown
// as text, as dumping them would take a stack frame a level.
constexpr std::size_t kLoggedRequestBytes = 4096;
constexpr std::size_t kDeepestLoggedNesting = 512;
// The longest --delay, in milliseconds: an hour.
constexpr int kLongestDelayMs = 3600000;

}  // namespace sim
