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
  kZeroHidesText,  // a zero byte cut away more than blanks and zero bytes
};

// Reads the command file whole into `command_text`, in the chunks a line
// reader with a 1024-byte buffer takes (at most 1023 bytes, through the next
// line feed); a zero byte cuts its chunk short, so the text holds no zero byte.
// Works on pipes (/dev/stdin) too. Reading stops beyond kCommandFileLimit
// bytes, when memory runs out, or when the file has not ended within the time
// limit; the text is worthless then. With kZeroHidesText it is the text as
// read, for the message that refuses it.
CommandFileRead ReadCommandFile(const std::filesystem::path& path, std::string& command_text);

}  // namespace app
