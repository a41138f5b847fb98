// A reference for the start-up benchmark: a process that does nothing but the
// client's first pause, with the client's own sleep and linked like the
// client. What the client costs beyond it is the client's own work.
#include "platform/clock.h"

int main() {
  platform::SleepMilliseconds(100);
}
