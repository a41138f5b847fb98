#include "app/command_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/text_file.h"

bool ReadCommandFile(const char* path, std::string& command_text) {
  std::FILE* file = platform::OpenTextFile(path);
  if (file == nullptr) {
    return false;
  }
  command_text.clear();
  // Room for the whole file at once, where its size is known: the text is
  // then never copied while it grows.
  std::error_code size_unknown;
  const std::uintmax_t file_size = std::filesystem::file_size(path, size_unknown);
  if (!size_unknown) {
    command_text.reserve(static_cast<std::size_t>(file_size));
  }
  char chunk[1024];
  while (!std::feof(file)) {
    if (std::fgets(chunk, sizeof chunk, file) == nullptr) {
      break;
    }
    command_text.append(chunk, std::strlen(chunk));
  }
  std::fclose(file);
  return true;
}
