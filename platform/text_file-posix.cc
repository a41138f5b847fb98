#include <sys/stat.h>

#include "platform/text_file.h"

namespace platform {

std::FILE* OpenTextFile(const char* path) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    return nullptr;
  }
  // fopen opens a directory here, and every read of it then fails.
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace platform
