#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// The built larkwire-sim, running on a loopback port it picks itself, with
// its request log in a fresh temporary file.
class SimProcess {
 public:
  // Starts the sim with these options after --listen and --log, with at most
  // `descriptor_limit` open files when above 0, and waits until it listens.
  explicit SimProcess(const std::vector<std::string>& options = {}, int descriptor_limit = 0);
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
  // The entries of its request log, members in the order written.
  std::vector<nlohmann::ordered_json> LogEntries() const;

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
// must fail. `output_unread`: its standard output is a pipe already closed
// at the other end.
SimExit RunSimToExit(const std::vector<std::string>& arguments, bool output_unread = false);
