#include "platform/text_file.h"

namespace platform {

std::FILE* OpenTextFile(const char* path) {
  // Text mode: the runtime turns CRLF line ends into LF while reading. Windows
  // refuses to open a directory as a stream, so no further check is needed.
  std::FILE* file = nullptr;
  if (fopen_s(&file, path, "rt") != 0) {
    return nullptr;
  }
  return file;
}

}  // namespace platform
