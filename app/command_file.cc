#include "app/command_file.h"

#include <cstring>
#include <new>

#include "exchange/time_limit.h"
#include "platform/clock.h"
#include "platform/text_file.h"

namespace app {

namespace {

// How long one read waits for data before the time limit is looked at again.
constexpr unsigned kReadWaitMs = 100;

bool OnlyPadding(const char* bytes, std::size_t size) {
  for (std::size_t at = 0; at < size; ++at) {
    const char c = bytes[at];
    if (c != '\0' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      return false;
    }
  }
  return true;
}

CommandFileRead ReadOpenFile(platform::TextFile* file, std::uint32_t start, CommandFile& command) {
  char block[65536];
  std::size_t consumed = 0;
  bool zero_found = false;
  for (;;) {
    const long got = platform::ReadTextFile(file, block, sizeof block, kReadWaitMs);
    if (got == platform::kTextFileEnded || got == platform::kTextFileFailed) {
      return CommandFileRead::kRead;  // what was read stands
    }
    // After every read, quiet or not: a writer that never stops must not
    // hold the run.
    if (exchange::TimeLimitPassed(start, platform::ReadTickCount())) {
      return CommandFileRead::kDidNotEnd;
    }
    if (got == platform::kTextFileQuiet) {
      continue;
    }
    const std::size_t size = static_cast<std::size_t>(got);
    std::size_t text_bytes = 0;
    if (!zero_found) {
      const void* zero = std::memchr(block, '\0', size);
      text_bytes =
          zero == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(zero) - block);
      command.text.append(block, text_bytes);
      zero_found = zero != nullptr;
    }
    consumed += size;
    if (consumed > kCommandFileLimit) {
      return CommandFileRead::kTooLarge;
    }
    if (!OnlyPadding(block + text_bytes, size - text_bytes)) {
      return CommandFileRead::kTextAfterZero;
    }
  }
}

}  // namespace

CommandFile ReadCommandFile(const std::filesystem::path& path) {
  CommandFile command;
  const std::uint32_t start = platform::ReadTickCount();
  platform::TextFile* file = platform::OpenTextFile(path);
  if (file == nullptr) {
    command.outcome = CommandFileRead::kDidNotOpen;
    return command;
  }
  try {
    command.outcome = ReadOpenFile(file, start, command);
  } catch (const std::bad_alloc&) {
    command.outcome = CommandFileRead::kOutOfMemory;
  }
  platform::CloseTextFile(file);
  return command;
}

}  // namespace app
