#include "e2e/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

// How long the sim may take to start listening or to stop.
constexpr auto kPatience = std::chrono::seconds(10);

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// An empty `output_path`: standard output is a pipe nobody reads, closed.
// A `descriptor_limit` above 0 lowers the sim's RLIMIT_NOFILE to it.
pid_t StartSim(const std::vector<std::string>& arguments, const std::string& output_path,
               const std::string& errors_path, rlim_t descriptor_limit = 0) {
  // Everything is built before the fork: the child of a threaded process may
  // only make async-signal-safe calls until it execs.
  std::vector<std::string> command = {LARKWIRE_SIM_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (std::string& word : command) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  int unread[2] = {-1, -1};
  if (output_path.empty() && pipe(unread) == 0) {
    close(unread[0]);
  }
  const pid_t child = fork();
  if (child == 0) {
    const int output = output_path.empty()
                           ? unread[1]
                           : open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errors = open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, STDOUT_FILENO);
    dup2(errors, STDERR_FILENO);
    const rlimit limit{descriptor_limit, descriptor_limit};
    if (descriptor_limit > 0) {
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (unread[1] >= 0) {
    close(unread[1]);
  }
  return child;
}

// Waits for the child's exit for up to the patience; -1 when it still runs.
int AwaitExit(pid_t child) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  do {
    int wait_status = 0;
    if (waitpid(child, &wait_status, WNOHANG) == child) {
      return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 1000 + WTERMSIG(wait_status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < give_up);
  return -1;
}

std::string MakeDirectory() {
  char directory[] = "/tmp/larkwire-sim-e2e-XXXXXX";
  if (mkdtemp(directory) == nullptr) {
    throw std::runtime_error("mkdtemp");
  }
  return directory;
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& options, int descriptor_limit)
    : directory_(MakeDirectory()) {
  // Port 0: the sim takes a free port and names it in its listening line.
  std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--log",
                                        directory_ + "/requests.jsonl"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const std::regex listening("listening on 127\\.0\\.0\\.1:(\\d+),");
  // The system's free ports reach beyond 55555, the most the client takes:
  // such a sim is started again.
  for (int attempt = 0; attempt < 20; ++attempt) {
    // Emptied here, so that the last sim's line is not read for this one's.
    std::ofstream emptied(directory_ + "/output", std::ios::trunc);
    pid_ = StartSim(arguments, directory_ + "/output", directory_ + "/errors",
                    static_cast<rlim_t>(descriptor_limit));
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    std::smatch found;
    std::string output;
    while (!std::regex_search(output = Output(), found, listening)) {
      int wait_status = 0;
      if (waitpid(pid_, &wait_status, WNOHANG) == pid_) {
        pid_ = -1;
        throw std::runtime_error("larkwire-sim did not start: " + output);
      }
      if (std::chrono::steady_clock::now() > give_up) {
        Stop(SIGKILL);
        throw std::runtime_error("larkwire-sim did not listen: " + output);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port_ = std::stoi(found[1]);
    if (port_ <= 55555) {
      return;
    }
    Stop(SIGKILL);
  }
  throw std::runtime_error("larkwire-sim found no port below 55556");
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    Stop(SIGKILL);
  }
}

int SimProcess::Stop(int signal_number) {
  kill(pid_, signal_number);
  int status = AwaitExit(pid_);
  if (status == -1) {
    kill(pid_, SIGKILL);
    status = AwaitExit(pid_);
  }
  pid_ = -1;
  return status;
}

bool SimProcess::AwaitOutput(const std::string& text) const {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (Output().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > give_up) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string SimProcess::Output() const {
  return ReadWholeFile(directory_ + "/output") + ReadWholeFile(directory_ + "/errors");
}

std::vector<nlohmann::ordered_json> SimProcess::LogEntries() const {
  std::vector<nlohmann::ordered_json> entries;
  std::istringstream lines(ReadWholeFile(directory_ + "/requests.jsonl"));
  for (std::string line; std::getline(lines, line);) {
    entries.push_back(nlohmann::ordered_json::parse(line));
  }
  return entries;
}

SimExit RunSimToExit(const std::vector<std::string>& arguments, bool output_unread) {
  const std::string directory = MakeDirectory();
  const pid_t child =
      StartSim(arguments, output_unread ? "" : directory + "/output", directory + "/errors");
  SimExit result;
  result.status = AwaitExit(child);
  if (result.status == -1) {
    kill(child, SIGKILL);
    AwaitExit(child);
  }
  result.output = ReadWholeFile(directory + "/output");
  result.errors = ReadWholeFile(directory + "/errors");
  return result;
}
