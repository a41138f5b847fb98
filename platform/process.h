#pragma once

namespace platform {

// Called first thing in main. A descriptor among 0, 1 and 2 that the caller
// left closed is opened on the null device, so that no file or socket the run
// opens takes its place and receives the console lines. A console reader that
// has gone makes a print fail quietly instead of ending the process.
void PrepareProcess();

}  // namespace platform
