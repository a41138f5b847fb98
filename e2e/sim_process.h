#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// The built larkwire-sim, running on a free loopback port with its request
// log in a fresh temporary file.
class SimProcess {
 public:
  // Starts the sim with these options besides --listen and --log, and waits
  // until it listens.
  explicit SimProcess(const std::vector<std::string>& options = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  int port() const {
    return port_;
  }
  std::string port_text() const {
    return std::to_string(port_);
  }

  // Stops the sim with `signal_number` and returns its exit status (the low
  // 8 bits, or 1000 + signal when a signal ended it).
  int Stop(int signal_number);
  // Waits up to ten seconds until the output holds `text`; whether it does.
  bool AwaitOutput(const std::string& text) const;
  // Everything the sim wrote to standard output and standard error so far.
  std::string Output() const;
  // The entries of its request log.
  std::vector<nlohmann::json> LogEntries() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string directory_;
};

struct SimExit {
  int status = -1;
  std::string output;
  std::string errors;
};

// Runs the sim with these arguments until it exits by itself; for starts that
// must fail.
SimExit RunSimToExit(const std::vector<std::string>& arguments);
