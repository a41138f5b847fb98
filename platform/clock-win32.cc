#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/clock.h"

namespace platform {

int ReadMillisecondOfDay() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
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
