// What the real binary sends: validation failures send nothing, valid commands
// arrive completed, compact and whole. larkwire-sim receives them and logs
// each request byte for byte; a scripted peer stands in where the sim cannot.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"
#include "e2e/sim_process.h"

namespace {

const std::string kNoRequest = " closed the connection without sending a request\n";
const std::string kBytesAfterRequest = " sent more bytes after its request\n";

// Runs the client against a fresh sim and tells the one request it logged,
// checking that the client sent nothing behind it.
std::string RequestSent(const std::string& layer, const std::string& file,
                        const std::string& faketime, ClientRun& run) {
  SimProcess sim;
  run = RunClient({"127.0.0.1", sim.port_text(), layer, file}, {faketime});
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_EQ(sim.Output().find(kBytesAfterRequest), std::string::npos) << sim.Output();
  const std::vector<nlohmann::ordered_json> entries = sim.LogEntries();
  if (entries.size() != 1) {
    ADD_FAILURE() << sim.Output();
    return "";
  }
  EXPECT_EQ(entries[0]["verdict"], "Ok") << entries[0];
  // The log holds the request parsed, members in the order sent; as long as
  // its compact form, it arrived compact.
  const std::string request = entries[0]["request"].dump();
  EXPECT_EQ(entries[0]["request_bytes"], request.size()) << entries[0];
  return request;
}

}  // namespace

TEST(Request, ARefusedCommandPrintsItsOneMessageAndSendsNothing) {
  for (const RefusedCommandCase& c : RefusedCommandCases()) {
    SimProcess sim;
    const ClientRun run = RunClient({"127.0.0.1", sim.port_text(), "1", WriteCommandFile(c.file)});
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, kStatusBadCommand);
    // One connection, closed without a byte.
    EXPECT_TRUE(sim.AwaitOutput(kNoRequest)) << sim.Output();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_TRUE(std::regex_match(sim.Output(),
                                 std::regex("larkwire-sim: listening on [^\n]*\n"
                                            "[^\n]* UTC 127\\.0\\.0\\.1:\\d+" +
                                            kNoRequest + "larkwire-sim: stopped by signal 15\n")))
        << sim.Output();
    EXPECT_TRUE(sim.LogEntries().empty());
  }
}

TEST(Request, ValidCommandsArriveCompletedCompactAndSorted) {
  const struct {
    std::string file, layer, frozen_clock, request;
  } cases[] = {
      // Timed: "time" is the frozen UTC time in 100 ns units, plus one second.
      {"{\n  \"type\": \"DSK_Play\",\n  \"params\": {}\n}\n", "4", "2025-01-23 12:00:00",
       R"({"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},"type":"DSK_Play"})"},
      // Untimed: written members replaced, others kept, all members sorted.
      {"{\"type\": \"DSK_Eject\", \"_id\": 5, \"extra\": [1, 2.50, null],\n"
       " \"params\": {\"layer_id\": 7, \"Name\": \"A b\", \"_id\": \"x\", \"time\": \"keep\"}}",
       "1", "2025-01-23 00:00:09.950",
       R"({"_id":"1000099","extra":[1,2.5,null],"params":{"Name":"A b","_id":"x","head_id":"1","layer_id":"1","time":"keep"},"type":"DSK_Eject"})"},
      // The last layer, a byte-order mark and CRLF line ends.
      {"\xEF\xBB\xBF{\r\n\"type\":\"SCTE_SetMessage\",\r\n\"params\":{}\r\n}\r\n", "99",
       "2025-01-23 23:59:59",
       R"({"_id":"99863990","params":{"head_id":"1","layer_id":"50","time":17376768000000000},"type":"SCTE_SetMessage"})"},
      // A clock before 1970 still gives the time of day.
      {R"({"type":"DSK_Cue","params":{}})", "1", "1969-12-31 23:00:00",
       R"({"_id":"1828000","params":{"head_id":"1","layer_id":"1"},"type":"DSK_Cue"})"},
  };
  for (const auto& c : cases) {
    ClientRun run;
    // Both clocks frozen, so even the elapsed time is known.
    EXPECT_EQ(RequestSent(c.layer, WriteCommandFile(c.file), c.frozen_clock, run), c.request);
    EXPECT_EQ(run.output, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n");
    EXPECT_EQ(run.status, kStatusOk);
    EXPECT_EQ(run.errors, "");
  }
}

TEST(Request, ALargeRequestArrivesWholeAtASlowServer) {
  // Far beyond the sim's 1 MiB limit, and read only after a pause: a scripted
  // peer.
  const std::string payload(std::size_t{8} << 20, 'p');
  ScriptedPeer peer({Pause(500), ReadRequest(), Send(R"({"_id":"1","status":"Ok"})")});
  const std::string file =
      WriteCommandFile("{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" + payload + "\"}}");
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "2", file}, {"2025-01-23 12:00:00"});
  peer.Finish();
  EXPECT_EQ(peer.received(), "{\"_id\":\"2432000\",\"params\":{\"blob\":\"" + payload +
                                 "\",\"head_id\":\"2\",\"layer_id\":\"1\"},\"type\":\"DSK_Cue\"}");
  EXPECT_EQ(run.output, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n");
}
