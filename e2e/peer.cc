#include "e2e/peer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>

PeerStep ReadRequest() {
  return {PeerStep::kReadRequest, "", 0};
}
PeerStep Send(const std::string& bytes) {
  return {PeerStep::kSend, bytes, 0};
}
PeerStep Pause(int milliseconds) {
  return {PeerStep::kPause, "", milliseconds};
}
PeerStep EndSending() {
  return {PeerStep::kEndSending, "", 0};
}
PeerStep Close() {
  return {PeerStep::kClose, "", 0};
}
PeerStep Reset() {
  return {PeerStep::kReset, "", 0};
}

namespace {

// How long the peer waits for the client at most, so that a broken client
// fails a test instead of hanging it.
constexpr int kPatienceMs = 60000;

void SendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t taken = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (taken <= 0) {
      return;
    }
    sent += static_cast<std::size_t>(taken);
  }
}

// Receives one piece onto `into`; false at the end of the stream, on error or
// after the peer's patience ran out.
bool ReceivePiece(int connection, std::string& into) {
  pollfd entry{connection, POLLIN, 0};
  if (poll(&entry, 1, kPatienceMs) <= 0) {
    return false;
  }
  char piece[65536];
  const ssize_t received = recv(connection, piece, sizeof piece, 0);
  if (received <= 0) {
    return false;
  }
  into.append(piece, static_cast<std::size_t>(received));
  return true;
}

// Receives until the bytes so far form one JSON value (or the stream ends).
void ReadWholeRequest(int connection, std::string& into) {
  // The request has no terminator: it ends where the JSON value ends.
  while (!(!into.empty() && into.back() == '}' && nlohmann::json::accept(into)) &&
         ReceivePiece(connection, into)) {
  }
}

}  // namespace

int BindLoopbackPort(bool listen, int& port) {
  // The kernel's ephemeral ports often lie above 55555, the client's limit.
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> candidates(20000, 55000);
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    port = candidates(random);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        (!listen || ::listen(fd, 128) == 0)) {
      return fd;
    }
    close(fd);
  }
  throw std::runtime_error("no free loopback port");
}

ScriptedPeer::ScriptedPeer(std::vector<PeerStep> script) : script_(std::move(script)) {
  listener_ = BindLoopbackPort(true, port_);
  thread_ = std::thread(&ScriptedPeer::Serve, this);
}

ScriptedPeer::~ScriptedPeer() {
  Finish();
  close(listener_);
}

void ScriptedPeer::Finish() {
  stopping_ = true;
  if (thread_.joinable()) {
    thread_.join();
  }
}

void ScriptedPeer::Serve() {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (std::chrono::steady_clock::now() < give_up) {
    // Looks once more after being told to stop: a client that has exited has
    // left any connection it made in the queue.
    const bool last_look = stopping_;
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, last_look ? 0 : 20) > 0) {
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) {
        ++connections_;
        Play(connection);
        return;
      }
    }
    if (last_look) {
      return;
    }
  }
}

void ScriptedPeer::Play(int connection) {
  for (const PeerStep& step : script_) {
    switch (step.kind) {
      case PeerStep::kReadRequest:
        ReadWholeRequest(connection, received_);
        break;
      case PeerStep::kSend:
        SendAll(connection, step.bytes);
        break;
      case PeerStep::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
        break;
      case PeerStep::kEndSending:
        shutdown(connection, SHUT_WR);
        break;
      case PeerStep::kClose:
        close(connection);
        return;
      case PeerStep::kReset: {
        linger abortive{1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        close(connection);
        return;
      }
    }
  }
  while (ReceivePiece(connection, received_)) {
  }
  close(connection);
}
