#include "app/command_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "exchange/answer.h"
#include "platform/clock.h"
#include "platform/text_file.h"

namespace app {

namespace {

constexpr std::size_t kChunkBytes = 1023;

// How long one read waits for data before the time limit is looked at again.
constexpr unsigned kReadWaitMs = 100;

// Where the reader stands inside the current chunk.
struct ChunkState {
  std::size_t taken = 0;  // bytes of the chunk read so far
  bool cut = false;       // a zero byte was among them
};

// Whether the bytes a zero byte cuts away are only zero bytes and blanks, so
// that leaving them out changes nothing a parser sees.
bool OnlyPadding(const char* bytes, std::size_t size) {
  for (std::size_t at = 0; at < size; ++at) {
    const char c = bytes[at];
    if (c != '\0' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      return false;
    }
  }
  return true;
}

// Appends one block of file bytes as the line reader would have delivered
// them: each chunk up to its first zero byte. False once a zero byte has cut
// away more than padding.
bool AppendChunked(const char* block, std::size_t size, ChunkState& chunk, std::string& text) {
  bool only_padding_cut = true;
  std::size_t at = 0;
  while (at < size) {
    std::size_t span = std::min(kChunkBytes - chunk.taken, size - at);
    const void* line_end = std::memchr(block + at, '\n', span);
    if (line_end != nullptr) {
      span = static_cast<std::size_t>(static_cast<const char*>(line_end) - (block + at)) + 1;
    }
    std::size_t kept = 0;
    if (!chunk.cut) {
      const void* zero = std::memchr(block + at, '\0', span);
      kept = zero == nullptr
                 ? span
                 : static_cast<std::size_t>(static_cast<const char*>(zero) - (block + at));
      chunk.cut = zero != nullptr;
    }
    text.append(block + at, kept);
    only_padding_cut = OnlyPadding(block + at + kept, span - kept) && only_padding_cut;
    at += span;
    chunk.taken += span;
    if (line_end != nullptr || chunk.taken == kChunkBytes) {
      chunk = ChunkState{};
    }
  }
  return only_padding_cut;
}

CommandFileRead ReadOpenFile(platform::TextFile* file, const std::filesystem::path& path,
                             std::uint32_t start, std::string& command_text) {
  command_text.clear();
  // Room for the whole file at once, where its size is known, so the text is
  // never copied while it grows; never more than the limit (a sparse file can
  // claim any size).
  std::error_code size_unknown;
  const std::uintmax_t file_size = std::filesystem::file_size(path, size_unknown);
  if (!size_unknown) {
    command_text.reserve(
        static_cast<std::size_t>(std::min<std::uintmax_t>(file_size, kCommandFileLimit)));
  }
  char block[65536];
  std::size_t consumed = 0;
  ChunkState chunk;
  bool only_padding_cut = true;
  for (;;) {
    const long got = platform::ReadTextFile(file, block, sizeof block, kReadWaitMs);
    if (got == platform::kTextFileQuiet) {
      if (exchange::TimeLimitPassed(start, platform::ReadTickCount())) {
        return CommandFileRead::kDidNotEnd;
      }
      continue;
    }
    if (got <= 0) {  // the end, or a read error: what was read stands
      return only_padding_cut ? CommandFileRead::kRead : CommandFileRead::kZeroHidesText;
    }
    consumed += static_cast<std::size_t>(got);
    if (consumed > kCommandFileLimit) {
      return CommandFileRead::kTooLarge;
    }
    only_padding_cut = AppendChunked(block, static_cast<std::size_t>(got), chunk, command_text) &&
                       only_padding_cut;
  }
}

}  // namespace

CommandFileRead ReadCommandFile(const std::filesystem::path& path, std::string& command_text) {
  const std::uint32_t start = platform::ReadTickCount();
  platform::TextFile* file = platform::OpenTextFile(path);
  if (file == nullptr) {
    return CommandFileRead::kDidNotOpen;
  }
  CommandFileRead result = CommandFileRead::kOutOfMemory;
  try {
    result = ReadOpenFile(file, path, start, command_text);
  } catch (const std::bad_alloc&) {
  }
  platform::CloseTextFile(file);
  return result;
}

}  // namespace app
