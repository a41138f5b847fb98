#pragma once

#include <cstddef>
#include <list>
#include <memory>

namespace sim {

// What the connection table asks of the connections it holds.
class Connection {
 public:
  virtual ~Connection() = default;
  // Whether it is still collecting its request.
  virtual bool Collecting() const = 0;
  // Ends it at once; it takes itself off the table.
  virtual void Stop() = 0;
};

// The open connections, oldest first, and the one owner of them: it applies
// the cap, tells when the cap is reached and when it is left, and stops them
// all at the end.
class ConnectionTable {
 public:
  explicit ConnectionTable(std::size_t cap) : cap_(cap) {}
  // Takes a new connection. Over the cap, the oldest connection still
  // collecting its request is stopped to make room, or else the oldest of
  // all; never the new one.
  void Add(std::shared_ptr<Connection> connection);
  void Remove(const Connection* connection);
  void StopAll();

 private:
  std::size_t cap_;
  std::list<std::shared_ptr<Connection>> open_;
  std::size_t closed_for_room_ = 0;  // since the cap was last reached
};

}  // namespace sim
