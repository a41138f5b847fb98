#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since 00:00:00 UTC today, as the system clock tells it.
int ReadMillisecondOfDay();

// UTC time in 100-nanosecond units since 1601-01-01 00:00:00 UTC, the
// system's file-time count.
std::uint64_t ReadSystemFileTime();

// A monotonic millisecond counter; it wraps at 2^32, so readings are only
// ever compared by their unsigned 32-bit difference.
std::uint32_t ReadTickCount();

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
