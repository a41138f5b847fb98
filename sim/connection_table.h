#pragma once

#include <algorithm>
#include <cstddef>
#include <iostream>
#include <iterator>
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
  void Add(std::shared_ptr<Connection> connection) {
    open_.push_back(std::move(connection));
    if (open_.size() <= cap_) {
      return;
    }
    if (closed_for_room_++ == 0) {
      std::cerr << "larkwire-sim: " << cap_ << (cap_ == 1 ? " connection" : " connections")
                << " open, the most it keeps; the oldest without a complete request are closed "
                   "to make room for new ones"
                << std::endl;
    }
    const auto newest = std::prev(open_.end());
    const auto oldest =
        std::find_if(open_.begin(), newest, [](const auto& open) { return open->Collecting(); });
    // A copy, held while it stops: stopping takes it off the table.
    std::shared_ptr<Connection>(oldest == newest ? open_.front() : *oldest)->Stop();
  }

  void Remove(const Connection* connection) {
    open_.remove_if([connection](const auto& open) { return open.get() == connection; });
    if (closed_for_room_ > 0 && open_.size() < cap_) {
      std::cerr << "larkwire-sim: below " << cap_ << (cap_ == 1 ? " connection" : " connections")
                << " again; " << closed_for_room_ << (closed_for_room_ == 1 ? " was" : " were")
                << " closed to make room" << std::endl;
      closed_for_room_ = 0;
    }
  }

  void StopAll() {
    // A copy, held while they stop: stopping takes each off the table.
    for (const auto& connection : std::list(open_)) {
      connection->Stop();
    }
  }

 private:
  std::size_t cap_;
  std::list<std::shared_ptr<Connection>> open_;
  std::size_t closed_for_room_ = 0;  // since the cap was last reached
};

}  // namespace sim
