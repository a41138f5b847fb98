#include "platform/process.h"

namespace platform {

// Sockets are handles, not runtime descriptors, so none can take the place of
// a standard stream; and Windows raises no signal for a write to a closed pipe.
void PrepareProcess() {}

}  // namespace platform
