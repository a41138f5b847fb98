#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/process.h"

namespace platform {

void PrepareProcess() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
      // open takes the lowest free descriptor: this very one.
      open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    }
  }
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
