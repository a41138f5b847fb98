#include "e2e/client_run.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

// A client still running after this long is killed: the test fails, not hangs.
constexpr double kClientLimitSeconds = 120;

// Everything the child needs, built before the fork: between fork and exec
// the child of a threaded process may only make async-signal-safe calls (a
// malloc there can deadlock on a lock that another thread held at the fork).
struct ClientLaunch {
  std::vector<std::string> words;
  std::vector<std::string> environment;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

ClientLaunch PrepareLaunch(const std::vector<std::string>& arguments,
                           const ClientOptions& options) {
  ClientLaunch launch;
  if (!options.faketime.empty()) {
    launch.words = {"faketime", "-f", options.faketime};
    if (!options.fake_monotonic) {
      launch.environment.push_back("FAKETIME_DONT_FAKE_MONOTONIC=1");
    }
  }
  const std::vector<std::string> client = ClientCommand();
  launch.words.insert(launch.words.end(), client.begin(), client.end());
  launch.words.insert(launch.words.end(), arguments.begin(), arguments.end());
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("FAKETIME_DONT_FAKE_MONOTONIC=", 0) != 0) {
      launch.environment.push_back(*entry);
    }
  }
  for (std::string& word : launch.words) {
    launch.argv.push_back(word.data());
  }
  launch.argv.push_back(nullptr);
  for (std::string& entry : launch.environment) {
    launch.envp.push_back(entry.data());
  }
  launch.envp.push_back(nullptr);
  return launch;
}

[[noreturn]] void StartClient(const ClientLaunch& launch, const ClientOptions& options, int input,
                              int output, int errors) {
  if (input >= 0) {
    dup2(input, STDIN_FILENO);
  }
  dup2(output, STDOUT_FILENO);
  dup2(errors, STDERR_FILENO);
  if (options.output == ClientOptions::Output::kClosed) {
    close(STDOUT_FILENO);
  } else if (int gone[2]; options.output == ClientOptions::Output::kReaderGone && pipe(gone) == 0) {
    close(gone[0]);
    dup2(gone[1], STDOUT_FILENO);
    close(gone[1]);
  }
  if (options.memory_limit > 0) {
    rlimit limit{options.memory_limit, options.memory_limit};
    setrlimit(RLIMIT_AS, &limit);
  }
  if (options.occupied_descriptors > 0) {
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_NOFILE, &limit);
    const int placeholder = open("/dev/null", O_RDONLY);
    for (int fd = 3; fd < 3 + options.occupied_descriptors; ++fd) {
      if (fd != placeholder) {
        dup2(placeholder, fd);
      }
    }
  }
  if (options.obey_file_permissions && geteuid() == 0 &&
      (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
       prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)) {
    _exit(126);
  }
  execvpe(launch.argv[0], launch.argv.data(), launch.envp.data());
  _exit(127);
}

// Removes the command files' directories when the test program ends.
struct TemporaryDirectories {
  std::vector<std::string> paths;
  ~TemporaryDirectories() {
    for (const std::string& path : paths) {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  }
};
TemporaryDirectories temporary_directories;

}  // namespace

double ClientRun::SecondsFromOutputToExit(const std::string& text) const {
  const std::size_t needed = output.find(text);
  if (needed == std::string::npos) {
    return -1;
  }
  for (const auto& [at, size] : output_arrivals) {
    if (size >= needed + text.size()) {
      return seconds - at;
    }
  }
  return -1;
}

ClientRun RunClient(const std::vector<std::string>& arguments, const ClientOptions& options) {
  int output_pipe[2];
  int error_pipe[2];
  if (pipe2(output_pipe, O_CLOEXEC) != 0 || pipe2(error_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  // The input is small: the pipe holds it whole before the client starts.
  int input_pipe[2] = {-1, -1};
  if (!options.input.empty() && (pipe2(input_pipe, O_CLOEXEC) != 0 ||
                                 write(input_pipe[1], options.input.data(), options.input.size()) !=
                                     static_cast<ssize_t>(options.input.size()))) {
    throw std::runtime_error("input pipe");
  }
  if (input_pipe[1] >= 0) {
    close(input_pipe[1]);
  }
  const ClientLaunch launch = PrepareLaunch(arguments, options);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    StartClient(launch, options, input_pipe[0], output_pipe[1], error_pipe[1]);
  }
  if (input_pipe[0] >= 0) {
    close(input_pipe[0]);
  }
  close(output_pipe[1]);
  close(error_pipe[1]);

  ClientRun run;
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  pollfd streams[2] = {{output_pipe[0], POLLIN, 0}, {error_pipe[0], POLLIN, 0}};
  int open_streams = 2;
  while (open_streams > 0 && elapsed() < kClientLimitSeconds) {
    if (poll(streams, 2, 100) <= 0) {
      continue;
    }
    for (pollfd& stream : streams) {
      if (stream.fd < 0 || stream.revents == 0) {
        continue;
      }
      char piece[65536];
      const ssize_t got = read(stream.fd, piece, sizeof piece);
      if (got <= 0) {
        close(stream.fd);
        stream.fd = -1;
        --open_streams;
        continue;
      }
      if (stream.fd == output_pipe[0]) {
        run.output.append(piece, static_cast<std::size_t>(got));
        run.output_arrivals.emplace_back(elapsed(), run.output.size());
      } else {
        run.errors.append(piece, static_cast<std::size_t>(got));
      }
    }
  }
  if (open_streams > 0) {
    kill(child, SIGKILL);
    for (pollfd& stream : streams) {
      if (stream.fd >= 0) {
        close(stream.fd);
      }
    }
  }
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  run.seconds = elapsed();
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 1000 + WTERMSIG(wait_status);
  return run;
}

std::string WriteCommandFile(const std::string& bytes) {
  char directory[] = "/tmp/larkwire-e2e-XXXXXX";
  if (mkdtemp(directory) == nullptr) {
    throw std::runtime_error("mkdtemp");
  }
  temporary_directories.paths.push_back(directory);
  std::string path = std::string(directory) + "/command.json";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}
