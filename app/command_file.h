#pragma once

#include <cstddef>
#include <string>

namespace app {

// The most bytes read from a command file, zero bytes and line ends included:
// far above any real command, and a bound on the memory a run needs.
constexpr std::size_t kCommandFileLimit = std::size_t{64} << 20;

enum class CommandFileRead { kRead, kDidNotOpen, kTooLarge, kOutOfMemory };

// Reads the command file whole into `command_text`, in the chunks a line
// reader with a 1024-byte buffer takes (at most 1023 bytes, through the next
// line feed); a zero byte cuts its chunk short. Works on pipes (/dev/stdin)
// too. Reading stops, and the text is worthless, beyond kCommandFileLimit bytes
// or when memory runs out.
CommandFileRead ReadCommandFile(const char* path, std::string& command_text);

}  // namespace app
