// The cross-built Larkwire.exe under Wine, against the scripted peer on
// 127.0.0.1: the checks of the Linux end-to-end tests that need no libfaketime.
// Two more stay Linux-only because Wine does not behave like Windows there: a
// reset during the answer wait (Wine's recv gives 0 where Windows fails with
// 10054) and a large send to a server that has gone (which can hang in Wine).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"

namespace {

const std::string kCueCommand = R"({"type":"DSK_Cue","params":{}})";
const std::string kOkAnswer = R"({"_id":"1","status":"Ok"})";

// Windows' standard output is in text mode, so every line feed the client
// prints arrives as CRLF; the output is compared with those folded back to LF.
std::string FoldCrLf(const std::string& output) {
  std::string folded;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (output[i] == '\n') {
      EXPECT_TRUE(i > 0 && output[i - 1] == '\r') << "a line feed without CR at " << i;
    }
    if (output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n') {
      continue;
    }
    folded += output[i];
  }
  return folded;
}

ClientRun RunWindowsClient(const std::vector<std::string>& arguments) {
  ClientRun run = RunClient(arguments);
  run.output = FoldCrLf(run.output);
  EXPECT_EQ(run.errors, "");
  return run;
}

// The client is given its command file as a Windows path on Wine's Z: drive,
// which is the host's root.
std::string WindowsPath(const std::string& host_path) {
  std::string path = "Z:" + host_path;
  for (char& c : path) {
    if (c == '/') {
      c = '\\';
    }
  }
  return path;
}

std::string WindowsCommandFile(const std::string& bytes) {
  return WindowsPath(WriteCommandFile(bytes));
}

std::int64_t UnixTimeIn100Ns(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count() / 100;
}

// The host's UTC clock around one run of the client, to check the client's
// own readings of Windows' clocks against.
struct RunWindow {
  std::chrono::system_clock::time_point before, after;

  bool HoldsTenthOfDay(std::int64_t tenth) const {
    constexpr std::int64_t kTenthsPerDay = 864000;
    const std::int64_t first = UnixTimeIn100Ns(before) / 1000000 % kTenthsPerDay;
    const std::int64_t last = UnixTimeIn100Ns(after) / 1000000 % kTenthsPerDay;
    // A run across midnight holds the tenths from `first` on and up to `last`.
    return first <= last ? first <= tenth && tenth <= last : first <= tenth || tenth <= last;
  }
  bool HoldsUnixTime(std::int64_t time_100ns) const {
    return UnixTimeIn100Ns(before) <= time_100ns && time_100ns <= UnixTimeIn100Ns(after);
  }
};

struct AnsweredRun {
  ClientRun run;
  RunWindow window;
  std::string received;
};

AnsweredRun RunAgainst(std::vector<PeerStep> script, const std::string& layer,
                       const std::string& command_text) {
  const std::string file = WindowsCommandFile(command_text);
  ScriptedPeer peer(std::move(script));
  AnsweredRun answered;
  answered.window.before = std::chrono::system_clock::now();
  answered.run = RunWindowsClient({"127.0.0.1", peer.port_text(), layer, file});
  answered.window.after = std::chrono::system_clock::now();
  peer.Finish();
  answered.received = peer.received();
  return answered;
}

// The request must be compact JSON in member order, with "_id" taken from
// GetSystemTime and, for a timed command, "time" from GetSystemTimeAsFileTime
// one second ahead, both within the run; all else must equal `expected`.
void ExpectRequest(const AnsweredRun& answered, int layer, bool timed, nlohmann::json expected) {
  const nlohmann::json request = nlohmann::json::parse(answered.received, nullptr, false);
  ASSERT_TRUE(request.is_object()) << answered.received.substr(0, 200);
  EXPECT_EQ(request.dump(), answered.received);

  const std::string id = request.value("_id", "");
  ASSERT_TRUE(std::regex_match(id, std::regex("[1-9][0-9]{6,7}"))) << id;
  EXPECT_EQ(std::stoll(id) / 1000000, layer);
  EXPECT_TRUE(answered.window.HoldsTenthOfDay(std::stoll(id) % 1000000)) << id;
  expected["_id"] = id;

  if (timed) {
    const nlohmann::json& time = request.at("params").at("time");
    ASSERT_TRUE(time.is_number_integer()) << time;
    EXPECT_TRUE(answered.window.HoldsUnixTime(time.get<std::int64_t>() - 10000000)) << time;
    expected["params"]["time"] = time;
  }
  EXPECT_EQ(request, expected);
}

void ExpectOk(const ClientRun& run) {
  int elapsed_ms = 0;
  ASSERT_TRUE(IsOkOutput(run.output, elapsed_ms)) << run.output;
  // GetTickCount: the first look at the socket comes 100 ms after the wait begins.
  EXPECT_GE(elapsed_ms, 100);
  EXPECT_EQ(run.status, kStatusOk);
}

}  // namespace

TEST(WindowsArguments, AnyCountButFourPrintsTheUsageAndConnectsNowhere) {
  ScriptedPeer peer;
  const std::string file = WindowsCommandFile(kCueCommand);
  const std::vector<std::vector<std::string>> argument_lists = {
      {},
      {"127.0.0.1", peer.port_text(), "1"},
      {"127.0.0.1", peer.port_text(), "1", file, "extra"},
  };
  for (const auto& arguments : argument_lists) {
    const ClientRun run = RunWindowsClient(arguments);
    EXPECT_EQ(run.output, kUsageText);
    EXPECT_EQ(run.status, kStatusUsage);
  }
  peer.Finish();
  EXPECT_EQ(peer.connections(), 0);
}

TEST(WindowsArguments, PortAndLayerOutsideTheirRangesEndBeforeAnyConnection) {
  ScriptedPeer peer;
  const std::string file = WindowsCommandFile(kCueCommand);
  // msvcrt's atoi would wrap eleven nines to 1215752191: the conversion is the
  // client's own and clamps.
  for (const ArgumentRangeCase& c : ArgumentRangeCases(peer.port_text())) {
    const ClientRun run = RunWindowsClient({"127.0.0.1", c.port, c.layer, file});
    EXPECT_EQ(run.output, c.output) << c.port << ' ' << c.layer;
    EXPECT_EQ(run.status, c.status) << c.port << ' ' << c.layer;
  }
  peer.Finish();
  EXPECT_EQ(peer.connections(), 0);
}

TEST(WindowsConnection, ARefusedConnectPrintsWinsocksErrorNumber) {
  int port = 0;
  const int bound_only = BindLoopbackPort(false, port);  // nobody listens here
  const std::string missing = WindowsPath("/nonexistent/command.json");
  const ClientRun refused =
      RunWindowsClient({"127.0.0.1", std::to_string(port) + "abc", "1", missing});
  EXPECT_EQ(refused.output, "ERROR: connect(127.0.0.1:" + std::to_string(port) + ") ERROR=10061\n");
  EXPECT_EQ(refused.status, kStatusConnectFailed);

  // A host name is not looked up: the connect goes to the all-ones address.
  const ClientRun named = RunWindowsClient({"localhost", std::to_string(port), "1", missing});
  EXPECT_TRUE(std::regex_match(
      named.output,
      std::regex("ERROR: connect\\(localhost:" + std::to_string(port) + "\\) ERROR=100[0-9]{2}\n")))
      << named.output;
  EXPECT_EQ(named.status, kStatusConnectFailed);
  close(bound_only);
}

TEST(WindowsCommandFile, AFileThatDoesNotOpenIsReportedAfterTheConnectAndNothingIsSent) {
  const std::string file = WriteCommandFile(kCueCommand);
  const std::string cases[] = {WindowsPath("/nonexistent/command.json"),
                               WindowsPath(file.substr(0, file.rfind('/')))};
  for (const std::string& path : cases) {
    ScriptedPeer peer;
    const ClientRun run = RunWindowsClient({"127.0.0.1", " +" + peer.port_text(), "1", path});
    peer.Finish();
    EXPECT_EQ(run.output, "Can't open JSON file") << path;
    EXPECT_EQ(run.status, kStatusCommandFileFailed) << path;
    EXPECT_EQ(peer.connections(), 1);
    EXPECT_EQ(peer.received(), "");
  }
}

TEST(WindowsRequest, ARefusedCommandPrintsItsOneMessageAndSendsNothing) {
  std::vector<RefusedCommandCase> cases = RefusedCommandCases();
  // Text mode: CRLF line ends reach the message as LF, and Ctrl-Z ends the text.
  cases.push_back({"{\"type\":\"DSK_Cue\"}\x1A{\"params\":{}}\n",
                   "ERROR - JSON '{\"type\":\"DSK_Cue\"}' has not parameter 'params'.\n"});
  cases.push_back({"{\r\n\"params\":{}\r\n}\r\n",
                   "ERROR - JSON '{\n\"params\":{}\n}\n' has not parameter 'type'.\n"});
  for (const auto& c : cases) {
    const AnsweredRun answered = RunAgainst({}, "1", c.file);
    EXPECT_EQ(answered.run.output, c.output);
    EXPECT_EQ(answered.run.status, kStatusBadCommand);
    EXPECT_EQ(answered.received, "");
  }
}

TEST(WindowsRequest, TimedCommandCarriesIdAddressAndTimeFromTheWindowsClocks) {
  const AnsweredRun answered =
      RunAgainst({ReadRequest(), Send(kOkAnswer)}, "4",
                 "{\n  \"type\": \"DSK_Play\",\n  \"params\": {\"clip\": \"news\"}\n}\n");
  ExpectOk(answered.run);
  ExpectRequest(
      answered, 4, true,
      {{"params", {{"clip", "news"}, {"head_id", "2"}, {"layer_id", "2"}}}, {"type", "DSK_Play"}});
}

TEST(WindowsRequest, UntimedCommandKeepsOtherMembersAndGetsNoTime) {
  const AnsweredRun answered = RunAgainst(
      {ReadRequest(), Send(kOkAnswer)}, "1",
      "{\"type\": \"DSK_Eject\", \"_id\": 5, \"extra\": [1, 2.50, null],\n"
      " \"params\": {\"layer_id\": 7, \"Name\": \"A b\", \"_id\": \"x\", \"time\": \"keep\"}}");
  ExpectOk(answered.run);
  ExpectRequest(answered, 1, false,
                nlohmann::json::parse(R"({"extra":[1,2.5,null],"params":{"Name":"A b","_id":"x",
                  "head_id":"1","layer_id":"1","time":"keep"},"type":"DSK_Eject"})"));
}

TEST(WindowsRequest, CrLfLineEndsAndAByteOrderMarkAndTheLastLayer) {
  const AnsweredRun answered =
      RunAgainst({ReadRequest(), Send(kOkAnswer)}, "99",
                 "\xEF\xBB\xBF{\r\n\"type\":\"SCTE_SetMessage\",\r\n\"params\":{}\r\n}\r\n");
  ExpectOk(answered.run);
  ExpectRequest(answered, 99, true,
                {{"params", {{"head_id", "1"}, {"layer_id", "50"}}}, {"type", "SCTE_SetMessage"}});
}

TEST(WindowsRequest, ALargeRequestArrivesWholeAtASlowServer) {
  const std::string payload(std::size_t{8} << 20, 'p');
  const AnsweredRun answered =
      RunAgainst({Pause(500), ReadRequest(), Send(kOkAnswer)}, "2",
                 "{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" + payload + "\"}}");
  ExpectOk(answered.run);
  ExpectRequest(
      answered, 2, false,
      {{"params", {{"blob", payload}, {"head_id", "2"}, {"layer_id", "1"}}}, {"type", "DSK_Cue"}});
}

TEST(WindowsAnswer, OkAndErrorWordsDecide) {
  for (const AnswerWordsCase& c : kAnswerWordsCases) {
    const AnsweredRun answered = RunAgainst({ReadRequest(), Send(c.answer)}, "3", kCueCommand);
    if (c.ok) {
      ExpectOk(answered.run);
    } else {
      EXPECT_EQ(answered.run.output, kStep1 + kStep2 + kErrorLine);
      EXPECT_EQ(answered.run.status, kStatusAnswerNotOk);
    }
    ExpectRequest(answered, 3, false,
                  {{"params", {{"head_id", "1"}, {"layer_id", "2"}}}, {"type", "DSK_Cue"}});
  }
}

TEST(WindowsAnswer, PiecesAreJoinedAndAnAnswerBeforeTheRequestCounts) {
  const std::string words = "\"status\":\"Ok\"";
  const std::vector<std::vector<PeerStep>> scripts = {
      {ReadRequest(), Send("{\"sta"), Pause(300), Send("tus\":\"Ok\"}")},
      {Send("{\"status\":\"Ok\"}"), ReadRequest()},
      {ReadRequest(), Send(std::string(1024 - words.size(), ' ') + words)},
      {ReadRequest(), Send(std::string("{\"status\":\"Ok\"}\0junk", 20))},
  };
  for (const auto& script : scripts) {
    const AnsweredRun answered = RunAgainst(script, "3", kCueCommand);
    ExpectOk(answered.run);
    ExpectRequest(answered, 3, false,
                  {{"params", {{"head_id", "1"}, {"layer_id", "2"}}}, {"type", "DSK_Cue"}});
  }
}

TEST(WindowsAnswer, ProgressLinesReachAPipeWhileTheWaitGoesOn) {
  ScriptedPeer peer({ReadRequest(), Pause(1500), Send(kOkAnswer)});
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "3", WindowsCommandFile(kCueCommand)});
  EXPECT_EQ(FoldCrLf(run.output).substr(0, (kStep1 + kStep2).size()), kStep1 + kStep2);
  EXPECT_GT(run.SecondsFromOutputToExit("Step 2/2: wait answer for the command...\r\n"), 1.0);
  EXPECT_EQ(run.status, kStatusOk);
}
