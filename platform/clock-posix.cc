#include <errno.h>
#include <time.h>

#include "platform/clock.h"

namespace platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kFileTimeAtUnixEpoch = 116444736000000000ULL;
constexpr long kSecondsPerDay = 86400;

timespec ReadClock(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return now;
}

}  // namespace

int ReadMillisecondOfDay() {
  const timespec now = ReadClock(CLOCK_REALTIME);
  // Floor division: before 1970 the remainder is negative.
  long second_of_day = static_cast<long>(now.tv_sec % kSecondsPerDay);
  if (second_of_day < 0) {
    second_of_day += kSecondsPerDay;
  }
  return static_cast<int>(second_of_day * 1000 + now.tv_nsec / 1000000);
}

std::uint64_t ReadSystemFileTime() {
  const timespec now = ReadClock(CLOCK_REALTIME);
  return kFileTimeAtUnixEpoch + static_cast<std::uint64_t>(now.tv_sec) * 10000000ULL +
         static_cast<std::uint64_t>(now.tv_nsec) / 100;
}

std::uint32_t ReadTickCount() {
  const timespec now = ReadClock(CLOCK_MONOTONIC);
  const std::uint64_t milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                                     static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<std::uint32_t>(milliseconds);
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec pause{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
