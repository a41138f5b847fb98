#pragma once

#include <cstddef>
#include <filesystem>

namespace platform {

// A command file open for reading.
struct TextFile;

// The path in argument `index`, as the system gave it: on Windows in UTF-16,
// so that a name outside the code page of the narrow arguments still opens.
std::filesystem::path PathArgument(int argc, const char* const argv[], int index);

// Opens a text file for reading in the platform's text mode, without waiting
// for a writer where it is a pipe. No file when the path does not open as a
// file; a directory does not count as one.
TextFile* OpenTextFile(const std::filesystem::path& path);

// What ReadTextFile gives besides a count of bytes.
constexpr long kTextFileEnded = 0;
constexpr long kTextFileFailed = -1;
constexpr long kTextFileQuiet = -2;  // nothing within the wait; the file goes on

// Reads at most `room` bytes: waits at most `wait_ms` for the first of them
// where the platform can tell (POSIX), and blocks on a file that never ends
// where it cannot (Windows).
long ReadTextFile(TextFile* file, char* into, std::size_t room, unsigned wait_ms);

void CloseTextFile(TextFile* file);

}  // namespace platform
