#pragma once

#include <cstdio>

namespace platform {

// Opens a text file for reading in the platform's text mode. Yields no stream
// when the path does not open as a file; a directory does not count as one.
std::FILE* OpenTextFile(const char* path);

}  // namespace platform
