#include "app/command_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform/text_file.h"

namespace app {

namespace {

constexpr std::size_t kChunkBytes = 1023;

// Where the reader stands inside the current chunk.
struct ChunkState {
  std::size_t taken = 0;  // bytes of the chunk read so far
  bool cut = false;       // a zero byte was among them
};

// Appends one block of file bytes as the line reader would have delivered
// them: each chunk up to its first zero byte.
void AppendChunked(const char* block, std::size_t size, ChunkState& chunk, std::string& text) {
  std::size_t at = 0;
  while (at < size) {
    std::size_t span = std::min(kChunkBytes - chunk.taken, size - at);
    const void* line_end = std::memchr(block + at, '\n', span);
    if (line_end != nullptr) {
      span = static_cast<std::size_t>(static_cast<const char*>(line_end) - (block + at)) + 1;
    }
    if (!chunk.cut) {
      const void* zero = std::memchr(block + at, '\0', span);
      const std::size_t kept =
          zero == nullptr ? span
                          : static_cast<std::size_t>(static_cast<const char*>(zero) - (block + at));
      text.append(block + at, kept);
      chunk.cut = zero != nullptr;
    }
    at += span;
    chunk.taken += span;
    if (line_end != nullptr || chunk.taken == kChunkBytes) {
      chunk = ChunkState{};
    }
  }
}

CommandFileRead ReadOpenFile(std::FILE* file, const char* path, std::string& command_text) {
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
  for (;;) {
    const std::size_t got = std::fread(block, 1, sizeof block, file);
    if (got == 0) {
      return CommandFileRead::kRead;
    }
    consumed += got;
    if (consumed > kCommandFileLimit) {
      return CommandFileRead::kTooLarge;
    }
    AppendChunked(block, got, chunk, command_text);
  }
}

}  // namespace

CommandFileRead ReadCommandFile(const char* path, std::string& command_text) {
  std::FILE* file = platform::OpenTextFile(path);
  if (file == nullptr) {
    return CommandFileRead::kDidNotOpen;
  }
  CommandFileRead result = CommandFileRead::kOutOfMemory;
  try {
    result = ReadOpenFile(file, path, command_text);
  } catch (const std::bad_alloc&) {
  }
  std::fclose(file);
  return result;
}

}  // namespace app
