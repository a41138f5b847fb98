// The real client against the real larkwire-sim.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"
#include "e2e/sim_process.h"

namespace {

const std::string kExampleFiles[] = {"DskCue.json",  "DskPlay.json",  "DskContinue.json",
                                     "DskStop.json", "DskEject.json", "ScteSetMessage.json"};

// A type the client sends as it is, and the sim does not know.
const std::string kUnknownType = R"({"type":"DSK_Pause","params":{}})";
const std::string kPlay = R"({"type":"DSK_Play","params":{"clip":"news"}})";

std::string ExamplePath(const std::string& name) {
  return std::string(LARKWIRE_EXAMPLES_DIR) + "/" + name;
}

ClientRun RunAgainst(const SimProcess& sim, const std::string& layer, const std::string& file,
                     const ClientOptions& options = {}) {
  return RunClient({"127.0.0.1", sim.port_text(), layer, file}, options);
}

int ConnectToLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads until the peer closes or `seconds` pass.
std::string ReadAnswer(int fd, double seconds) {
  std::string answer;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < give_up) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 50) <= 0) {
      continue;
    }
    char piece[4096];
    const ssize_t got = recv(fd, piece, sizeof piece, 0);
    if (got <= 0) {
      break;
    }
    answer.append(piece, static_cast<std::size_t>(got));
    if (answer.back() == '}') {
      break;
    }
  }
  return answer;
}

}  // namespace

TEST(Sim, EveryExampleFileIsAccepted) {
  SimProcess sim;
  int layer = 1;
  for (const std::string& name : kExampleFiles) {
    const ClientRun run = RunAgainst(sim, std::to_string(layer), ExamplePath(name));
    int elapsed_ms = 0;
    EXPECT_TRUE(IsOkOutput(run.output, elapsed_ms)) << name << "\n" << run.output;
    EXPECT_EQ(run.status, kStatusOk) << name;
    layer += 17;
  }
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  ASSERT_EQ(entries.size(), std::size(kExampleFiles));
  for (const nlohmann::ordered_json& entry : entries) {
    EXPECT_EQ(entry["verdict"], "Ok") << entry;
    EXPECT_EQ(entry["answer"], "judge");
  }
  EXPECT_NE(sim.Output().find(" DSK_Continue _id "), std::string::npos) << sim.Output();
  EXPECT_NE(sim.Output().find("larkwire-sim: stopped by signal 15\n"), std::string::npos);
}

TEST(Sim, EachAnswerModeGivesTheClientItsOutcome) {
  // libfaketime runs the client's clocks a thousand times faster, so its
  // five-minute wait passes in well under a second.
  const std::string fast_clock = "+0 x1000";
  const struct {
    std::vector<std::string> sim_options;
    std::string command;
    std::string faketime;
    std::string outcome;  // empty: the OK lines
    double least_seconds, most_seconds;
    std::string sent_status;  // the status of the answer logged as sent; empty: none sent
  } cases[] = {
      {{}, kPlay, "", "", 0.1, 5, "Ok"},
      {{}, kUnknownType, "", kErrorLine, 0.1, 5, "Error"},
      {{"--answer", "ok"}, kUnknownType, "", "", 0.1, 5, "Ok"},
      {{"--answer", "error"}, kPlay, "", kErrorLine, 0.1, 5, "Error"},
      {{"--answer", "none"}, kPlay, fast_clock, kNoAnswerLine, 0.3, 30, ""},
      {{"--answer", "close"}, kPlay, fast_clock, kNoAnswerLine, 0.3, 30, ""},
      {{"--answer", "reset", "--delay", "200"}, kPlay, "", "   !!! send error 104\n", 0.2, 5, ""},
      {{"--delay", "1500"}, kPlay, "", "", 1.5, 10, "Ok"},
      {{"--split"}, kPlay, "", "", 0.5, 5, "Ok"},
      {{"--split", "--answer", "error"}, kPlay, "", kErrorLine, 0.5, 5, "Error"},
  };
  for (const auto& c : cases) {
    SimProcess sim(c.sim_options);
    const ClientRun run = RunAgainst(sim, "7", WriteCommandFile(c.command), {c.faketime});
    const std::string label = ::testing::PrintToString(c.sim_options) + " " + c.command;
    if (c.outcome.empty()) {
      int elapsed_ms = 0;
      EXPECT_TRUE(IsOkOutput(run.output, elapsed_ms)) << label << "\n" << run.output;
      EXPECT_GE(elapsed_ms, c.least_seconds * 1000) << label;
      EXPECT_EQ(run.status, kStatusOk) << label;
    } else {
      EXPECT_EQ(run.output, kStep1 + kStep2 + c.outcome) << label;
      EXPECT_EQ(run.status, kStatusAnswerNotOk) << label;
    }
    EXPECT_GE(run.seconds, c.least_seconds) << label;
    EXPECT_LT(run.seconds, c.most_seconds) << label;
    EXPECT_EQ(sim.Stop(SIGTERM), 0) << label;
    const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
    ASSERT_EQ(entries.size(), 1u) << label << "\n" << sim.Output();
    const std::string sent = entries[0]["sent"];
    EXPECT_EQ(sent.empty(), c.sent_status.empty()) << label << sent;
    if (!sent.empty()) {
      EXPECT_NE(sent.find("\"status\":\"" + c.sent_status), std::string::npos) << label << sent;
    }
  }
}

TEST(Sim, AnAnswerPlanIsPlayedOnePerRequestThenItsLastStays) {
  SimProcess sim({"--answer", "error,ok"});
  for (const int status : {kStatusAnswerNotOk, kStatusOk, kStatusOk}) {
    EXPECT_EQ(RunAgainst(sim, "1", ExamplePath("DskCue.json")).status, status);
  }
  EXPECT_NE(sim.Output().find("listening on 127.0.0.1:" + sim.port_text() + ", answer error,ok\n"),
            std::string::npos);
}

TEST(Sim, ProgressLinesReachAPipeWhileTheWaitGoesOn) {
  SimProcess sim({"--delay", "1500"});
  const ClientRun run = RunAgainst(sim, "5", ExamplePath("DskStop.json"));
  int elapsed_ms = 0;
  EXPECT_TRUE(IsOkOutput(run.output, elapsed_ms)) << run.output;
  EXPECT_GT(run.SecondsFromOutputToExit(kStep1 + kStep2), 1.0);
}

TEST(Sim, ASocketNumberedAboveTheSelectLimitWorks) {
  SimProcess sim;
  ClientOptions many_descriptors;
  many_descriptors.occupied_descriptors = 1500;
  const ClientRun run = RunAgainst(sim, "6", ExamplePath("DskEject.json"), many_descriptors);
  int elapsed_ms = 0;
  EXPECT_TRUE(IsOkOutput(run.output, elapsed_ms)) << run.output;
  EXPECT_EQ(run.status, kStatusOk);
}

TEST(Sim, ARefusalIsReportedWithItsReason) {
  SimProcess sim;
  const ClientRun run = RunAgainst(sim, "3", WriteCommandFile(kUnknownType));
  EXPECT_EQ(run.status, kStatusAnswerNotOk);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["verdict"], "Error");
  EXPECT_EQ(entries[0]["reason"], "\"type\" is not a known command type");
  EXPECT_TRUE(std::regex_search(
      sim.Output(),
      std::regex(" UTC 127\\.0\\.0\\.1:\\d+ layer 3 \\(layer_id 2, head_id 1\\) DSK_Pause "
                 "_id 3\\d{6} time ahead -: Error - \"type\" is not a known command type\n")))
      << sim.Output();
  EXPECT_NE(sim.Output().find("larkwire-sim: stopped by signal 2\n"), std::string::npos);
}

TEST(Sim, ATimeFarFromTheSimClockIsReportedNotRefused) {
  SimProcess sim;
  const ClientRun run = RunAgainst(sim, "4", ExamplePath("DskPlay.json"), {"2025-01-23 12:00:00"});
  EXPECT_EQ(run.status, kStatusOk) << run.output;
  sim.Stop(SIGTERM);
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(
      entries[0]["request"].dump(),
      R"({"_id":"4432000","params":{"head_id":"2","layer_id":"2","template":"lower_third","time":17376336010000000},"type":"DSK_Play"})");
  // Whenever these tests run, that moment lies well behind the sim's clock.
  EXPECT_TRUE(
      std::regex_search(sim.Output(), std::regex("_id 4432000 time ahead -\\d{7,}\\.\\d ms: Ok\n")))
      << sim.Output();
}

TEST(Sim, AHundredClientsAtOnceAreAllAnsweredAndLoggedOnce) {
  constexpr int kClients = 100;
  SimProcess sim;
  const std::string file = ExamplePath("DskPlay.json");
  // Each client runs with a frozen clock of its own second, so that two on
  // the same layer still send different identifiers.
  std::vector<ClientRun> runs(kClients);
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      char moment[40];
      std::snprintf(moment, sizeof moment, "2025-01-23 12:%02d:%02d", i / 60, i % 60);
      runs[i] = RunAgainst(sim, std::to_string(i % 99 + 1), file, {moment});
    });
  }
  for (std::thread& client : clients) {
    client.join();
  }
  std::set<std::string> expected_ids;
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(runs[i].status, kStatusOk) << i << "\n" << runs[i].output;
    expected_ids.insert(std::to_string((i % 99 + 1) * 1000000 + 432000 + i * 10));
  }
  EXPECT_EQ(sim.Stop(SIGTERM), 0);

  std::map<std::string, int> logged_ids;
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  EXPECT_EQ(entries.size(), static_cast<std::size_t>(kClients));
  for (const nlohmann::ordered_json& entry : entries) {
    EXPECT_EQ(entry["verdict"], "Ok") << entry;
    ++logged_ids[entry["request"]["_id"]];
  }
  for (const std::string& id : expected_ids) {
    EXPECT_EQ(logged_ids[id], 1) << id;
  }
  EXPECT_EQ(logged_ids.size(), expected_ids.size());
}

TEST(Sim, ASilentConnectionNeitherDelaysAnotherNorStaysUnanswered) {
  SimProcess sim;
  const int silent = ConnectToLoopback(sim.port());
  ASSERT_GE(silent, 0);
  const std::string half = R"({"_id":"1000000","params":{)";
  ASSERT_EQ(send(silent, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));

  const ClientRun run = RunAgainst(sim, "2", ExamplePath("DskCue.json"));
  EXPECT_EQ(run.status, kStatusOk) << run.output;
  EXPECT_LT(run.seconds, 2);

  // Ten seconds after it connected, the silent one is refused.
  EXPECT_EQ(
      ReadAnswer(silent, 15),
      R"({"_id":"","status":"Error","message":"no complete JSON value arrived within 10 s"})");
  close(silent);
  sim.Stop(SIGTERM);
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1]["request"], half);
}

TEST(Sim, BytesAfterTheRequestAreReported) {
  SimProcess sim;
  const int connection = ConnectToLoopback(sim.port());
  ASSERT_GE(connection, 0);
  const std::string request =
      R"({"_id":"2000000","params":{"head_id":"2","layer_id":"1"},"type":"DSK_Eject"})";
  ASSERT_EQ(send(connection, request.data(), request.size(), 0),
            static_cast<ssize_t>(request.size()));
  EXPECT_EQ(ReadAnswer(connection, 10), R"({"_id":"2000000","status":"Ok"})");
  EXPECT_EQ(sim.Output().find(" sent more bytes after its request\n"), std::string::npos);
  ASSERT_EQ(send(connection, "\n", 1, 0), 1);
  EXPECT_TRUE(sim.AwaitOutput(" sent more bytes after its request\n")) << sim.Output();
  close(connection);
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_EQ(sim.LogEntries().size(), 1u);
}

TEST(Sim, ARequestOverOneMebibyteIsRefused) {
  SimProcess sim;
  const int connection = ConnectToLoopback(sim.port());
  ASSERT_GE(connection, 0);
  const std::string request = "{\"blob\":\"" + std::string(std::size_t{1} << 20, 'b') + "\"}";
  std::thread sender([&] { send(connection, request.data(), request.size(), MSG_NOSIGNAL); });
  EXPECT_EQ(ReadAnswer(connection, 10),
            R"({"_id":"","status":"Error","message":"the request is larger than 1 MiB"})");
  sender.join();
  close(connection);
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  // The log holds its beginning alone.
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["request"], request.substr(0, 4096));
  EXPECT_EQ(entries[0]["request_cut"], true);
}

TEST(Sim, AtItsDescriptorLimitSilentConnectionsMakeRoomForAClient) {
  // 32 descriptors: room for 16 connections.
  SimProcess sim({}, 32);
  std::vector<int> silent;
  for (int i = 0; i < 40; ++i) {
    silent.push_back(ConnectToLoopback(sim.port()));
  }
  const ClientRun run = RunAgainst(sim, "2", ExamplePath("DskCue.json"));
  EXPECT_EQ(run.status, kStatusOk) << run.output << sim.Output();
  EXPECT_LT(run.seconds, 2);
  // The oldest were closed without a word to them; the sim said so once.
  pollfd oldest{silent.front(), POLLIN, 0};
  ASSERT_EQ(poll(&oldest, 1, 1000), 1);
  char byte = 0;
  EXPECT_EQ(recv(silent.front(), &byte, 1, 0), 0);
  for (const int connection : silent) {
    close(connection);
  }
  EXPECT_TRUE(sim.AwaitOutput("were closed to make room\n")) << sim.Output();
  const std::string output = sim.Output();
  EXPECT_NE(output.find("larkwire-sim: 16 connections open, the most it keeps;"), std::string::npos)
      << output;
  EXPECT_EQ(output.find("Too many open files"), std::string::npos) << output;
}

TEST(Sim, ALogThatCannotBeWrittenIsToldOnceAndServiceGoesOn) {
  SimProcess sim({"--log", "/dev/full"});
  for (const char* layer : {"1", "2"}) {
    EXPECT_EQ(RunAgainst(sim, layer, ExamplePath("DskCue.json")).status, kStatusOk);
  }
  const std::string told =
      "larkwire-sim: can't write to the log file /dev/full: No space left on device";
  const std::string output = sim.Output();
  EXPECT_NE(output.find(told), std::string::npos) << output;
  EXPECT_EQ(output.find(told), output.rfind(told)) << output;
}

TEST(Sim, ItsOwnFailuresSaySoAndEndNonZero) {
  int taken_port = 0;
  const int taken = BindLoopbackPort(true, taken_port);
  const std::string taken_at = "127.0.0.1:" + std::to_string(taken_port);
  const SimExit in_use = RunSimToExit({"--listen", taken_at});
  close(taken);
  EXPECT_EQ(in_use.status, 1);
  EXPECT_EQ(in_use.output, "");
  EXPECT_EQ(in_use.errors, "larkwire-sim: can't listen on " + taken_at +
                               ": the port is in use by another program\n");

  // TEST-NET-3, an address no interface of this machine has.
  const SimExit foreign = RunSimToExit({"--listen", "203.0.113.9:4002"});
  EXPECT_EQ(foreign.status, 1);
  EXPECT_EQ(foreign.errors,
            "larkwire-sim: warning: 203.0.113.9 is not a loopback address; the sim has no "
            "authentication, and anyone who reaches the port can send it requests\n"
            "larkwire-sim: can't listen on 203.0.113.9:4002: Cannot assign requested address\n");

  const SimExit no_log = RunSimToExit({"--log", "/nonexistent/requests.jsonl"});
  EXPECT_EQ(no_log.status, 1);
  EXPECT_EQ(no_log.errors,
            "larkwire-sim: can't open the log file /nonexistent/requests.jsonl: No such file or "
            "directory\n");

  // Output to a pipe nobody reads any more fails; it does not kill the sim.
  EXPECT_EQ(RunSimToExit({"--version"}, true).status, 0);
  EXPECT_EQ(RunSimToExit({"--version"}).output, "larkwire-sim 1.0.0\n");

  const std::vector<std::string> bad_options[] = {
      {"--answer", "maybe"},
      {"--answer", "ok,,error"},
      {"--listen", "127.0.0.1"},
      {"--listen", "127.0.0.1:65536"},
      {"--listen", "localhost:4002"},
      {"--delay", "-1"},
      {"--log", "-"},
      {"--frobnicate"},
      {"stray"},
  };
  for (const auto& arguments : bad_options) {
    const SimExit run = RunSimToExit(arguments);
    EXPECT_EQ(run.status, 2) << arguments[0];
    // One line that names what is wrong and where help is.
    EXPECT_TRUE(std::regex_match(run.errors, std::regex("larkwire-sim: [^\n]*" + arguments.front() +
                                                        "[^\n]*\\(see larkwire-sim --help\\)\n")))
        << run.errors;
    EXPECT_EQ(run.output, "");
  }
}
