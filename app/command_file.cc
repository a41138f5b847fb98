#include "app/command_file.h"

#include <cstdio>
#include <cstring>

#include "platform/text_file.h"

bool ReadCommandFile(const char* path, std::string& command_text) {
  std::FILE* file = platform::OpenTextFile(path);
  if (file == nullptr) {
    return false;
  }
  command_text.clear();
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
