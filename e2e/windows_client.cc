#include <cstdlib>
#include <stdexcept>

#include "e2e/client_run.h"

// The Windows client runs under Wine; the script that runs these tests names
// the executable and keeps a wineserver ready.
std::vector<std::string> ClientCommand() {
  const char* executable = std::getenv("LARKWIRE_WINDOWS_CLIENT");
  if (executable == nullptr || *executable == '\0') {
    throw std::runtime_error("LARKWIRE_WINDOWS_CLIENT must name Larkwire.exe");
  }
  return {"wine", executable};
}
