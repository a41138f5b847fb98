#include "e2e/client_run.h"

std::vector<std::string> ClientCommand() {
  return {LARKWIRE_BINARY};
}
