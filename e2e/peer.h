#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// One act of a scripted server, in script order.
struct PeerStep {
  enum Kind { kReadRequest, kSend, kPause, kEndSending, kClose, kReset } kind;
  std::string bytes;
  int milliseconds = 0;
};

PeerStep ReadRequest();  // reads until the bytes so far form one JSON value
PeerStep Send(const std::string& bytes);
PeerStep Pause(int milliseconds);
PeerStep EndSending();  // half close: the client sees the end of the stream
PeerStep Close();       // close, without reading further
PeerStep Reset();       // abortive close: the client sees a connection reset

// A TCP server on 127.0.0.1 that plays one script on the first connection it
// accepts and records every byte it receives. Unless the script closes first,
// it reads on until the client closes.
class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::vector<PeerStep> script = {});
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int port() const {
    return port_;
  }
  std::string port_text() const {
    return std::to_string(port_);
  }

  // Call once the client has exited: stops waiting for connections and tells
  // what was received.
  void Finish();
  int connections() const {
    return connections_;
  }
  const std::string& received() const {
    return received_;
  }

 private:
  void Serve();
  void Play(int connection);

  std::vector<PeerStep> script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  int connections_ = 0;
  std::string received_;
  std::thread thread_;
};

// Binds a listening (or, with listen false, a merely bound) TCP socket on
// 127.0.0.1 at a free port the client accepts (1..55555).
int BindLoopbackPort(bool listen, int& port);
