#pragma once

#include <string>
#include <vector>

struct ClientOptions {
  // A libfaketime time setting ("2025-01-23 12:00:00", "+0 x1000"); the
  // client runs under faketime when it is set.
  std::string faketime;
  // With a frozen wall clock, whether the monotonic clock stands still too.
  bool fake_monotonic = true;
  // Descriptors to leave open in the client, so its socket gets a high number.
  int occupied_descriptors = 0;
  // Run the client without root's power to override file permissions (it
  // loses CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH), so that a file's mode
  // binds it even when the tests run as root.
  bool obey_file_permissions = false;
  // Where the client's standard output goes: to the test, nowhere (closed), or
  // to a pipe whose reader closed before the start.
  enum class Output { kCaptured, kClosed, kReaderGone } output = Output::kCaptured;
  // The client's standard input, a pipe holding this text.
  std::string input{};
  // The client's address-space limit in bytes; 0 for none.
  unsigned long memory_limit = 0;
};

struct ClientRun {
  int status = -1;  // the exit status's low 8 bits, or 1000 + signal
  std::string output;
  std::string errors;
  double seconds = 0;  // wall time of the whole run
  // Seconds from the moment the output first held `text` until the client
  // exited; negative when it never did.
  double SecondsFromOutputToExit(const std::string& text) const;

  std::vector<std::pair<double, std::size_t>> output_arrivals;  // (seconds, output size)
};

// The command line that starts the client under test, program first. Each test
// program defines it for the build of the client it tests.
std::vector<std::string> ClientCommand();

// Runs the client under test with these arguments and collects everything it did.
ClientRun RunClient(const std::vector<std::string>& arguments, const ClientOptions& options = {});

// Writes a command file into a fresh temporary directory, removed when the
// test program ends; the path is returned.
std::string WriteCommandFile(const std::string& bytes);
