#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/clock.h"

namespace platform {

SystemTimeOfDay ReadSystemTimeOfDay() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return SystemTimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::uint64_t ReadSystemFileTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::uint32_t ReadTickCount() {
  return static_cast<std::uint32_t>(GetTickCount());
}

void SleepMilliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // namespace platform
