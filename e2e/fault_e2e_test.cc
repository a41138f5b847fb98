// Faults of the server and of the command file that the other end-to-end
// tests leave out: each must end the run with its one message and status,
// without a hang, a crash or a claim of success.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/client_run.h"
#include "e2e/expected_output.h"
#include "e2e/peer.h"

namespace {

const std::string kCommand = R"({"type":"DSK_Cue","params":{"clip":"news"}})";
const ClientOptions kFastClock{"+0 x1000"};

// The command file is a named pipe whose text is written only `delay_ms` after
// the client has opened it, that is after its connect stood: the server acts
// in that gap, before the client can send anything.
class LateCommandFile {
 public:
  LateCommandFile(const std::string& text, int delay_ms) {
    const std::string placeholder = WriteCommandFile("");
    path_ = placeholder + ".fifo";
    if (mkfifo(path_.c_str(), 0600) != 0) {
      throw std::runtime_error("mkfifo");
    }
    writer_ = std::thread([this, text, delay_ms] { Write(text, delay_ms); });
  }
  ~LateCommandFile() {
    writer_.join();
  }
  const std::string& path() const {
    return path_;
  }

 private:
  void Write(const std::string& text, int delay_ms) {
    // Opening for writing without a reader fails at once, so it is retried
    // until the client has opened the pipe, for a minute at most.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int pipe = -1;
    while (pipe < 0 && std::chrono::steady_clock::now() < give_up) {
      pipe = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (pipe < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    if (pipe < 0) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    fcntl(pipe, F_SETFL, 0);
    const ssize_t written = write(pipe, text.data(), text.size());
    EXPECT_EQ(written, static_cast<ssize_t>(text.size()));
    close(pipe);
  }

  std::string path_;
  std::thread writer_;
};

}  // namespace

TEST(ServerFault, AResetBeforeTheSendFailsTheSend) {
  ScriptedPeer peer({Reset()});
  LateCommandFile file(kCommand, 300);
  const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", file.path()});
  peer.Finish();
  EXPECT_EQ(run.output, kStep1 + "   !!! send error 104\n");
  EXPECT_EQ(run.status, kStatusSendFailed);
  EXPECT_EQ(peer.received(), "");
}

TEST(ServerFault, ACloseBeforeTheSendLeavesTheWaitToTheTimeLimit) {
  // The send itself succeeds (the server's end answers it with a reset, which
  // the client, having seen the end of the stream first, never reports).
  ScriptedPeer peer({Close()});
  LateCommandFile file(kCommand, 300);
  const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", file.path()}, kFastClock);
  peer.Finish();
  EXPECT_EQ(run.output, kStep1 + kStep2 + kNoAnswerLine);
  EXPECT_EQ(run.status, kStatusAnswerNotOk);
  EXPECT_EQ(peer.received(), "");
  EXPECT_LT(run.seconds, 30);
}

TEST(ServerFault, AServerThatNeverReadsEndsTheSendAtTheTimeLimit) {
  // Far more than the connection's buffers hold; the peer reads only after the
  // client has given up.
  const std::string payload(std::size_t{16} << 20, 'p');
  const std::string file =
      WriteCommandFile("{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" + payload + "\"}}");
  ScriptedPeer peer({Pause(3000)});
  const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", file}, kFastClock);
  peer.Finish();
  EXPECT_EQ(run.output, kStep1 + "   !!! send error 110\n");
  EXPECT_EQ(run.status, kStatusSendFailed);
}

TEST(ConsoleFault, AClosedOrUnreadStandardOutputLeavesTheRequestAndTheVerdictIntact) {
  for (const auto output : {ClientOptions::Output::kClosed, ClientOptions::Output::kReaderGone}) {
    // The answer comes unasked, so whatever the client sends is read whole.
    ScriptedPeer peer({Pause(200), Send(R"({"status":"Ok"})")});
    ClientOptions options;
    options.output = output;
    const ClientRun run =
        RunClient({"127.0.0.1", peer.port_text(), "1", WriteCommandFile(kCommand)}, options);
    peer.Finish();
    EXPECT_EQ(run.status, kStatusOk);
    EXPECT_TRUE(nlohmann::json::accept(peer.received())) << peer.received();
  }
}

TEST(ServerFault, GarbageAndFloodsWithoutTheWordsGiveNoVerdict) {
  std::string garbage;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte != '"') {
      garbage += static_cast<char>(byte);
    }
  }
  const std::string words = R"({"status":"Ok"})";
  const std::vector<std::vector<PeerStep>> scripts = {
      {ReadRequest(), Send(garbage + garbage + garbage + garbage)},
      {ReadRequest(), Send(std::string(std::size_t{1} << 20, 'x') + words), Close()},
      {ReadRequest(), Send(garbage), Pause(150), Send(std::string(1, '\0') + words)},
  };
  for (const auto& script : scripts) {
    ScriptedPeer peer(script);
    const ClientRun run =
        RunClient({"127.0.0.1", peer.port_text(), "1", WriteCommandFile(kCommand)}, kFastClock);
    peer.Finish();
    EXPECT_EQ(run.output, kStep1 + kStep2 + kNoAnswerLine);
    EXPECT_EQ(run.status, kStatusAnswerNotOk);
    EXPECT_EQ(run.errors, "");
    EXPECT_TRUE(nlohmann::json::accept(peer.received())) << peer.received();
  }
}

TEST(ServerFault, TheWordsInManyTinyPiecesAreJoined) {
  const std::string answer = R"({"_id":"1000000","status":"Ok"})";
  std::vector<PeerStep> script = {ReadRequest()};
  for (char byte : answer) {
    script.push_back(Send(std::string(1, byte)));
    script.push_back(Pause(20));
  }
  ScriptedPeer peer(script);
  const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", WriteCommandFile(kCommand)});
  peer.Finish();
  int elapsed_ms = 0;
  EXPECT_TRUE(IsOkOutput(run.output, elapsed_ms)) << run.output;
  EXPECT_EQ(run.status, kStatusOk);
  // The verdict needs the bytes up to the quote behind Ok, the last but one.
  EXPECT_GE(run.seconds, 0.02 * static_cast<double>(answer.size() - 2));
}

TEST(CommandFileFault, BinaryAndInvalidUtf8TextIsRefusedQuotedAsRead) {
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) {
    every_byte += static_cast<char>(byte);
  }
  // The leading zero byte cuts the first chunk, which ends at the line feed.
  const std::string every_byte_as_read = every_byte.substr('\n' + 1);
  const struct {
    std::string file, text_as_read;
  } cases[] = {
      {every_byte, every_byte_as_read},
      {"{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\xFF\xFE\"}}",
       "{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\xFF\xFE\"}}"},
      {"{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\xC0\xAF\"}}",
       "{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\xC0\xAF\"}}"},
      {"{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\\ud800\"}}",
       "{\"type\":\"DSK_Cue\",\"params\":{\"clip\":\"\\ud800\"}}"},
      {"{\"type\":\"\xE2\x82\"}", "{\"type\":\"\xE2\x82\"}"},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer;
    const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", WriteCommandFile(c.file)});
    peer.Finish();
    EXPECT_EQ(run.output, "ERROR - JSON '" + c.text_as_read + "' has bad format.\n");
    EXPECT_EQ(run.status, kStatusBadCommand);
    EXPECT_EQ(peer.connections(), 1);
    EXPECT_EQ(peer.received(), "");
  }
}

TEST(CommandFileFault, ACommandFileOfExactly64MiBArrivesWhole) {
  const std::string head = "{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"";
  const std::string payload((std::size_t{64} << 20) - head.size() - 4, 'p');
  const std::string file = WriteCommandFile(head + payload + "\"}}\n");
  ScriptedPeer peer({ReadRequest(), Send(R"({"status":"Ok"})")});
  const ClientRun run =
      RunClient({"127.0.0.1", peer.port_text(), "2", file}, {"2025-01-23 12:00:00"});
  peer.Finish();
  EXPECT_EQ(run.output, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n");
  EXPECT_EQ(run.status, kStatusOk);
  EXPECT_TRUE(peer.received() ==
              "{\"_id\":\"2432000\",\"params\":{\"blob\":\"" + payload +
                  "\",\"head_id\":\"2\",\"layer_id\":\"1\"},\"type\":\"DSK_Cue\"}")
      << "received " << peer.received().size() << " bytes";
}

TEST(CommandFileFault, PastTheLimitOrTheMemoryNothingIsSentAndPipesServe) {
  // The text of 40 MiB fits; the parser's copy of its string does not.
  ClientOptions scarce_memory;
  scarce_memory.memory_limit = 96ul << 20;
  const std::string blob = "{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" +
                           std::string(std::size_t{40} << 20, 'b') + "\"}}";
  // Four million values: the library's release of the array needs memory too.
  std::string values = "{\"type\":\"DSK_Cue\",\"params\":{\"v\":[0";
  for (int value = 0; value < 4000000; ++value) {
    values += ",0";
  }
  ClientOptions piped;
  piped.faketime = "2025-01-23 12:00:00";
  piped.input = kCommand;
  const struct {
    std::string path;
    ClientOptions options;
    std::string output;
    int status;
  } cases[] = {
      {WriteCommandFile(std::string((std::size_t{64} << 20) + 1, ' ')),
       {},
       "ERROR - JSON file is larger than 67108864 bytes\n",
       kStatusCommandFileFailed},
      {"/dev/zero",
       {},
       "ERROR - JSON file is larger than 67108864 bytes\n",
       kStatusCommandFileFailed},
#ifndef LARKWIRE_SANITIZED  // the sanitizers' shadow memory needs no limit
      {WriteCommandFile(blob), scarce_memory,
       "ERROR - out of memory for the command, nothing sent\n", kStatusSendFailed},
      {WriteCommandFile(values + "]}}"), scarce_memory,
       "ERROR - out of memory for the command, nothing sent\n", kStatusSendFailed},
#endif
      {"/dev/stdin", piped, kStep1 + kStep2 + kOkLine + "Finish OK elapsed times(ms): 0\n",
       kStatusOk},
  };
  for (const auto& c : cases) {
    ScriptedPeer peer({ReadRequest(), Send(R"({"status":"Ok"})")});
    const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", c.path}, c.options);
    peer.Finish();
    EXPECT_TRUE(run.output == c.output) << c.path << ": " << run.output.substr(0, 200);
    EXPECT_EQ(run.status, c.status) << c.path;
    EXPECT_EQ(peer.received().empty(), c.status != kStatusOk) << c.path;
  }
}

TEST(CommandFileFault, AnUnreadableFileDoesNotOpen) {
  const std::string file = WriteCommandFile(kCommand);
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  ScriptedPeer peer;
  ClientOptions obeying;
  obeying.obey_file_permissions = true;
  const ClientRun run = RunClient({"127.0.0.1", peer.port_text(), "1", file}, obeying);
  peer.Finish();
  EXPECT_EQ(run.output, "Can't open JSON file");
  EXPECT_EQ(run.status, kStatusCommandFileFailed);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(peer.connections(), 1);
  EXPECT_EQ(peer.received(), "");
}
