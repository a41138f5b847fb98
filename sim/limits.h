#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// The limits that keep a careless or hostile client from making the sim the
// reason a rehearsal fails, each in one place, and the texts that name them,
// formed from them.
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

// The request time limit as the texts name it.
inline const std::string kTimeLimitText = std::to_string(kRequestTimeLimit.count()) + " s";
inline const std::string kTooSlowReason = "no complete JSON value arrived within " + kTimeLimitText;
// A connection that sent nothing in its time is no request; it is closed.
inline const std::string kSilenceNote =
    "sent nothing within " + std::to_string(kFirstByteTimeLimit.count()) + " min and was closed";
inline const std::string kTooLargeReason =
    "the request is larger than " + std::to_string(kRequestByteLimit / kMiB) + " MiB";
inline const std::string kOverBudgetReason = "the sim holds " +
                                             std::to_string(kHeldRequestBudget / kMiB) +
                                             " MiB of other requests; try again later";

}  // namespace sim
