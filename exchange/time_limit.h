#pragma once

#include <cstdint>

namespace exchange {

// How long each of the run's waits may take, in milliseconds: for the command
// file to end, for the send, and for the answer.
constexpr std::uint32_t kTimeLimitMs = 300000;

// Whether more than the time limit has gone since `start`; both are readings
// of a wrapping 32-bit millisecond counter.
inline bool TimeLimitPassed(std::uint32_t start, std::uint32_t now) {
  return static_cast<std::uint32_t>(now - start) > kTimeLimitMs;
}

}  // namespace exchange
