#pragma once

namespace platform {

// The program's one formatted-print routine: everything goes to standard
// output, and is flushed at once so that a reader on a pipe sees each line
// while the run goes on, and nothing is lost if the run is interrupted.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Print(const char* format, ...);

// Called first thing in main. A descriptor among 0, 1 and 2 that the caller
// left closed is opened on the null device, so that no file or socket the run
// opens takes its place and receives the console lines. A console reader that
// has gone makes a print fail quietly instead of ending the process.
void PrepareProcess();

}  // namespace platform
