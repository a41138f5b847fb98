#pragma once

namespace platform {

// The program's one formatted-print routine: everything goes to standard
// output, and is flushed at once so that a reader on a pipe sees each line
// while the run goes on, and nothing is lost if the run is interrupted.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Print(const char* format, ...);

}  // namespace platform
