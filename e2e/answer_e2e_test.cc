// How the real binary waits for and judges the server's answer, where the
// answer must be one larkwire-sim never gives: a scripted peer plays it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"

namespace {

const std::string kCommand = R"({"type":"DSK_Play","params":{"clip":"news"}})";

// libfaketime runs the client's clocks and pauses a thousand times faster, so
// the five-minute limit passes in well under a minute.
const ClientOptions kFastClock{"+0 x1000"};

ClientRun RunAgainst(const ScriptedPeer& peer, const ClientOptions& options = {}) {
  return RunClient({"127.0.0.1", peer.port_text(), "3", WriteCommandFile(kCommand)}, options);
}

void ExpectOk(const ClientRun& run) {
  int elapsed_ms = 0;
  ASSERT_TRUE(IsOkOutput(run.output, elapsed_ms)) << run.output;
  // The first look at the socket comes 100 ms after the wait begins.
  EXPECT_GE(elapsed_ms, 100);
  EXPECT_EQ(run.status, kStatusOk);
  EXPECT_EQ(run.errors, "");
}

void ExpectNotOk(const ClientRun& run, const std::string& outcome_line) {
  EXPECT_EQ(run.output, kStep1 + kStep2 + outcome_line);
  EXPECT_EQ(run.status, kStatusAnswerNotOk);
  EXPECT_EQ(run.errors, "");
}

}  // namespace

TEST(Answer, OkAndErrorWordsDecide) {
  for (const AnswerWordsCase& c : kAnswerWordsCases) {
    ScriptedPeer peer({ReadRequest(), Send(c.answer)});
    const ClientRun run = RunAgainst(peer);
    if (c.ok) {
      ExpectOk(run);
    } else {
      ExpectNotOk(run, kErrorLine);
    }
  }
}

TEST(Answer, AnAnswerBeforeTheRequestAndOneOfExactly1024BytesCount) {
  {
    ScriptedPeer peer({Send("{\"status\":\"Ok\"}"), ReadRequest()});
    ExpectOk(RunAgainst(peer));
  }
  {
    // 1024 bytes, the words at the very end.
    const std::string tail = "\"status\":\"Ok\"";
    ScriptedPeer peer({ReadRequest(), Send(std::string(1024 - tail.size(), ' ') + tail)});
    ExpectOk(RunAgainst(peer));
  }
}

TEST(Answer, WithoutAVerdictTheWaitEndsAfterFiveMinutes) {
  const std::string words = "\"status\":\"Ok\"";
  const std::vector<std::vector<PeerStep>> scripts = {
      {ReadRequest(), Send(R"({"result":"Ok"})"), Close()},
      {ReadRequest(), Send(R"({"status":"OK"})")},
      {ReadRequest(), Send(std::string("{\0", 2) + words)},
      {ReadRequest(), Send(std::string(1020, ' ') + words)},  // words beyond 1024 bytes
  };
  for (const auto& script : scripts) {
    ScriptedPeer peer(script);
    const ClientRun run = RunAgainst(peer, kFastClock);
    peer.Finish();
    ExpectNotOk(run, kNoAnswerLine);
    EXPECT_LT(run.seconds, 30);
    EXPECT_NE(peer.received().find("\"type\":\"DSK_Play\""), std::string::npos);
  }
}

TEST(Answer, AZeroByteBehindTheWordsChangesNothing) {
  ScriptedPeer peer({ReadRequest(), Send(std::string("{\"status\":\"Ok\"}\0junk", 20))});
  ExpectOk(RunAgainst(peer));
}

TEST(Send, AServerThatGoesAwayWhileTheRequestIsSentEndsTheRunWithoutASignal) {
  // The server reads nothing and goes while the client is still sending a
  // request far larger than the socket buffers: a reset, or an end of stream
  // followed by a reset (which makes the next send raise SIGPIPE by default).
  const std::string file = WriteCommandFile("{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" +
                                            std::string(std::size_t{16} << 20, 'b') + "\"}}");
  const std::vector<std::vector<PeerStep>> scripts = {
      {Pause(300), Reset()},
      {Pause(300), EndSending(), Pause(100), Close()},
  };
  for (const auto& script : scripts) {
    ScriptedPeer peer(script);
    const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", file});
    EXPECT_TRUE(std::regex_match(run.output, std::regex(kStep1 + "   !!! send error (32|104)\n")))
        << run.output;
    EXPECT_EQ(run.status, kStatusSendFailed);
  }
}
