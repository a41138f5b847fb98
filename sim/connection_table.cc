#include "sim/connection_table.h"

#include <algorithm>
#include <iostream>
#include <iterator>

namespace sim {

void ConnectionTable::Add(std::shared_ptr<Connection> connection) {
  open_.push_back(std::move(connection));
  if (open_.size() <= cap_) {
    return;
  }
  if (closed_for_room_++ == 0) {
    std::cerr << "larkwire-sim: " << cap_
              << " connections open, the most it keeps; the oldest without a complete request "
                 "are closed to make room for new ones"
              << std::endl;
  }
  const auto newest = std::prev(open_.end());
  const auto oldest =
      std::find_if(open_.begin(), newest, [](const auto& open) { return open->Collecting(); });
  // Held here while it stops: stopping takes it off the table.
  const std::shared_ptr<Connection> leaving = oldest == newest ? open_.front() : *oldest;
  leaving->Stop();
}

void ConnectionTable::Remove(const Connection* connection) {
  open_.remove_if([connection](const auto& open) { return open.get() == connection; });
  if (closed_for_room_ > 0 && open_.size() < cap_) {
    std::cerr << "larkwire-sim: below " << cap_ << " connections again; " << closed_for_room_
              << " were closed to make room" << std::endl;
    closed_for_room_ = 0;
  }
}

void ConnectionTable::StopAll() {
  // A copy, held while they stop: stopping takes each off the table.
  const std::list<std::shared_ptr<Connection>> open = open_;
  for (const auto& connection : open) {
    connection->Stop();
  }
}

}  // namespace sim
