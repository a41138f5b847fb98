#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdio>

#include "platform/text_file.h"

namespace platform {

struct TextFile {
  std::FILE* stream;
};

std::filesystem::path PathArgument(int argc, const char* const argv[], int index) {
  // The narrow arguments are in the ANSI code page, which cannot name every
  // file; the command line itself is UTF-16.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::filesystem::path path =
      wide != nullptr && count == argc ? std::filesystem::path(wide[index]) : argv[index];
  LocalFree(wide);
  return path;
}

TextFile* OpenTextFile(const std::filesystem::path& path) {
  // Text mode: the runtime turns CRLF line ends into LF while reading. Windows
  // refuses to open a directory as a stream, so no further check is needed.
  std::FILE* stream = nullptr;
  if (_wfopen_s(&stream, path.c_str(), L"rt") != 0) {
    return nullptr;
  }
  return new TextFile{stream};
}

long ReadTextFile(TextFile* file, char* into, std::size_t room, unsigned /*wait_ms*/) {
  const std::size_t got = std::fread(into, 1, room, file->stream);
  if (got == 0) {
    return std::ferror(file->stream) ? kTextFileFailed : kTextFileEnded;
  }
  return static_cast<long>(got);
}

void CloseTextFile(TextFile* file) {
  std::fclose(file->stream);
  delete file;
}

}  // namespace platform
