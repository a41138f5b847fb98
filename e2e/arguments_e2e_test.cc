// The front end of the real binary: usage, port and layer checks, the
// connection and the command file, before any request is made.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"

namespace {

const std::string kCommand = R"({"type":"DSK_Cue","params":{}})";

}  // namespace

TEST(Arguments, AnyCountButFourPrintsTheUsageAndConnectsNowhere) {
  ScriptedPeer peer;
  const std::string file = WriteCommandFile(kCommand);
  const std::vector<std::vector<std::string>> argument_lists = {
      {},
      {"127.0.0.1", peer.port_text(), "1"},
      {"127.0.0.1", peer.port_text(), "1", file, "extra"},
  };
  for (const auto& arguments : argument_lists) {
    const ClientRun run = RunClient(arguments);
    EXPECT_EQ(run.output, kUsageText);
    EXPECT_EQ(run.status, kStatusUsage);
    EXPECT_EQ(run.errors, "");
  }
  peer.Finish();
  EXPECT_EQ(peer.connections(), 0);
}

TEST(Arguments, PortAndLayerOutsideTheirRangesEndBeforeAnyConnection) {
  ScriptedPeer peer;
  const std::string file = WriteCommandFile(kCommand);
  for (const ArgumentRangeCase& c : ArgumentRangeCases(peer.port_text())) {
    const ClientRun run = RunClient({"127.0.0.1", c.port, c.layer, file});
    EXPECT_EQ(run.output, c.output) << c.port << ' ' << c.layer;
    EXPECT_EQ(run.status, c.status) << c.port << ' ' << c.layer;
  }
  peer.Finish();
  EXPECT_EQ(peer.connections(), 0);
}

TEST(Connection, RefusedConnectNamesTheAddressAsTypedAndTheConvertedPort) {
  int port = 0;
  const int bound_only = BindLoopbackPort(false, port);  // nobody listens here
  const std::string missing = "/nonexistent/command.json";
  const ClientRun refused = RunClient({"127.0.0.1", std::to_string(port) + "abc", "1", missing});
  EXPECT_EQ(refused.output, "ERROR: connect(127.0.0.1:" + std::to_string(port) + ") ERROR=111\n");
  EXPECT_EQ(refused.status, kStatusConnectFailed);

  close(bound_only);

  // A host name is not looked up, and only four decimal numbers are an
  // address: the connect goes to the all-ones address, not to the listener.
  ScriptedPeer peer;
  for (const std::string ip : {"localhost", "127.1", "127.0.0.01", "0x7f.0.0.1"}) {
    const ClientRun named = RunClient({ip, peer.port_text(), "1", missing});
    EXPECT_TRUE(std::regex_match(
        named.output,
        std::regex("ERROR: connect\\([^:]*:" + peer.port_text() + "\\) ERROR=[1-9][0-9]*\n")));
    EXPECT_EQ(named.output.find("ERROR: connect(" + ip + ":"), 0u) << named.output;
    EXPECT_EQ(named.status, kStatusConnectFailed);
  }
  peer.Finish();
  EXPECT_EQ(peer.connections(), 0);
}

TEST(CommandFile, AFileThatDoesNotOpenIsReportedAfterTheConnectAndNothingIsSent) {
  const std::string directory = WriteCommandFile(kCommand);
  const std::string cases[] = {"/nonexistent/command.json",
                               directory.substr(0, directory.rfind('/'))};
  for (const std::string& path : cases) {
    ScriptedPeer peer;
    // Leading blanks, a plus sign and trailing text all leave the port as it is.
    for (const std::string& port : {" +" + peer.port_text(), peer.port_text() + "abc"}) {
      const ClientRun run = RunClient({"127.0.0.1", port, "1", path});
      EXPECT_EQ(run.output, "Can't open JSON file") << path;
      EXPECT_EQ(run.status, kStatusCommandFileFailed) << path;
    }
    peer.Finish();
    EXPECT_EQ(peer.connections(), 1);
    EXPECT_EQ(peer.received(), "");
  }
}
