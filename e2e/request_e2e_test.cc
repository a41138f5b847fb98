// What the real binary sends: validation failures send nothing, valid commands
// arrive completed, compact and whole.
#include <gtest/gtest.h>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"

namespace {

const std::string kOkAnswer = R"({"_id":"1","status":"Ok"})";

std::vector<PeerStep> Answering(const std::string& answer) {
  return {ReadRequest(), Send(answer)};
}

}  // namespace

TEST(Request, ARefusedCommandPrintsItsOneMessageAndSendsNothing) {
  const std::string deep = "{\"type\":\"DSK_Cue\",\"params\":{\"a\":" + std::string(100000, '[') +
                           std::string(100000, ']') + "}}";
  const struct {
    std::string file, output;
  } cases[] = {
      {"", "ERROR - JSON '' has bad format.\n"},
      {"{\"type\":\"DSK_Cue\",\n\"params\":{}} {}\n",
       "ERROR - JSON '{\"type\":\"DSK_Cue\",\n\"params\":{}} {}\n' has bad format.\n"},
      {"{\"params\":{}}\n", "ERROR - JSON '{\"params\":{}}\n' has not parameter 'type'.\n"},
      {"{\"type\":1}", "ERROR - JSON '{\"type\":1}' has not parameter 'params'.\n"},
      {"{\"type\":1,\"params\":[]}",
       "ERROR - JSON '{\"type\":1,\"params\":[]}' has bad format for parameter 'params'.\n"},
      {"{\"type\":5,\"params\":{}}",
       "Unexpected error on parse JSON '{\"type\":5,\"params\":{}}' ERROR=302, "
       "[json.exception.type_error.302] type must be string, but is number\n"},
      {"{\"type\":\"%s%n%d\"}",
       "ERROR - JSON '{\"type\":\"%s%n%d\"}' has not parameter 'params'.\n"},
      {deep, "ERROR - JSON '" + deep + "' has bad format.\n"},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer;
    const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", WriteCommandFile(c.file)});
    peer.Finish();
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, kStatusBadCommand);
    EXPECT_EQ(peer.connections(), 1);
    EXPECT_EQ(peer.received(), "");
  }
}

TEST(Request, TimedCommandCarriesIdAddressAndTimeOneSecondAhead) {
  ScriptedPeer peer(Answering(kOkAnswer));
  const std::string file = WriteCommandFile("{\n  \"type\": \"DSK_Play\",\n  \"params\": {}\n}\n");
  // Both clocks frozen, so even the elapsed time is known.
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "4", file}, {"2025-01-23 12:00:00"});
  peer.Finish();
  EXPECT_EQ(
      peer.received(),
      R"({"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},"type":"DSK_Play"})");
  EXPECT_EQ(run.output, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n");
  EXPECT_EQ(run.status, kStatusOk);
  EXPECT_EQ(run.errors, "");
}

TEST(Request, UntimedCommandKeepsOtherMembersAndReordersThem) {
  ScriptedPeer peer(Answering(kOkAnswer));
  const std::string file = WriteCommandFile(
      "{\"type\": \"DSK_Eject\", \"_id\": 5, \"extra\": [1, 2.50, null],\n"
      " \"params\": {\"layer_id\": 7, \"Name\": \"A b\", \"_id\": \"x\", \"time\": \"keep\"}}");
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "1", file}, {"2025-01-23 00:00:09.950"});
  peer.Finish();
  EXPECT_EQ(
      peer.received(),
      R"({"_id":"1000099","extra":[1,2.5,null],"params":{"Name":"A b","_id":"x","head_id":"1","layer_id":"1","time":"keep"},"type":"DSK_Eject"})");
  EXPECT_EQ(run.status, kStatusOk);
}

TEST(Request, LastLayerAndAByteOrderMarkAndCrLfLineEnds) {
  ScriptedPeer peer(Answering(kOkAnswer));
  const std::string file =
      WriteCommandFile("\xEF\xBB\xBF{\r\n\"type\":\"SCTE_SetMessage\",\r\n\"params\":{}\r\n}\r\n");
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "99", file}, {"2025-01-23 23:59:59"});
  peer.Finish();
  EXPECT_EQ(
      peer.received(),
      R"({"_id":"99863990","params":{"head_id":"1","layer_id":"50","time":17376768000000000},"type":"SCTE_SetMessage"})");
  EXPECT_EQ(run.status, kStatusOk);
}

TEST(Request, ALargeRequestArrivesWholeAtASlowServer) {
  const std::string payload(std::size_t{8} << 20, 'p');
  ScriptedPeer peer({Pause(500), ReadRequest(), Send(kOkAnswer)});
  const std::string file =
      WriteCommandFile("{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" + payload + "\"}}");
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "2", file}, {"2025-01-23 12:00:00"});
  peer.Finish();
  EXPECT_EQ(peer.received(), "{\"_id\":\"2432000\",\"params\":{\"blob\":\"" + payload +
                                 "\",\"head_id\":\"2\",\"layer_id\":\"1\"},\"type\":\"DSK_Cue\"}");
  EXPECT_EQ(run.output, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n");
}
