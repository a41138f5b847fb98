#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_file.h"

namespace platform {

struct TextFile {
  int descriptor;
};

std::filesystem::path PathArgument(int /*argc*/, const char* const argv[], int index) {
  return argv[index];
}

TextFile* OpenTextFile(const std::filesystem::path& path) {
  // Without O_NONBLOCK, opening a pipe that has no writer yet waits for one
  // with no limit.
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return nullptr;
  }
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  return new TextFile{descriptor};
}

long ReadTextFile(TextFile* file, char* into, std::size_t room, unsigned wait_ms) {
  // Read only once data or the writer's end is there: a pipe without a writer
  // reads as ended at once, before any writer came.
  pollfd entry{file->descriptor, POLLIN, 0};
  const int ready = poll(&entry, 1, static_cast<int>(wait_ms));
  if (ready == 0 || (ready < 0 && errno == EINTR)) {
    return kTextFileQuiet;
  }
  const ssize_t got = read(file->descriptor, into, room);
  if (got < 0) {
    return errno == EAGAIN || errno == EINTR ? kTextFileQuiet : kTextFileFailed;
  }
  return static_cast<long>(got);
}

void CloseTextFile(TextFile* file) {
  close(file->descriptor);
  delete file;
}

}  // namespace platform
