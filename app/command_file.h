#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace app {

// The most bytes read from a command file, zero bytes and line ends included:
// far above any real command, and a bound on the memory a run needs.
constexpr std::size_t kCommandFileLimit = std::size_t{64} << 20;

enum class CommandFileRead {
  kRead,
  kDidNotOpen,
  kTooLarge,
  kOutOfMemory,
  kDidNotEnd,      // no end within the time limit: a pipe nobody writes to, say
  kTextAfterZero,  // more than blanks and zero bytes follow a zero byte
};

struct CommandFile {
  CommandFileRead outcome = CommandFileRead::kRead;
  // The command text: whole when read; with kTextAfterZero, the bytes before
  // the zero, so its size is where the zero stands, counted from 0.
  std::string text;
};

// Reads the command file whole. The command text ends at its first zero byte:
// what follows may be zero bytes and blanks (space, tab, CR, LF) only, or the
// file is refused. Works on pipes (/dev/stdin) too. Reading stops beyond
// kCommandFileLimit bytes, when memory runs out, or when the file has not
// ended within the time limit, however steadily its writer writes.
CommandFile ReadCommandFile(const std::filesystem::path& path);

}  // namespace app
