#include "sim/connection_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Tells whether it is still collecting its request, and notes being stopped.
struct FakeConnection : sim::Connection {
  FakeConnection(sim::ConnectionTable& table, bool collecting)
      : table(table), collecting(collecting) {}
  bool Collecting() const override {
    return collecting;
  }
  void Stop() override {
    stopped = true;
    table.Remove(this);
  }
  sim::ConnectionTable& table;
  bool collecting;
  bool stopped = false;
};

}  // namespace

TEST(ConnectionTable, OverItsCapStopsTheOldestStillCollectingElseTheOldest) {
  const struct {
    std::string added;    // oldest first, the new one last: c collecting, d delivered its request
    std::string stopped;  // s where one was stopped
  } cases[] = {
      {"ccc", "---"},                      // within the cap
      {"cccc", "s---"},                    // the oldest
      {"dccc", "-s--"},                    // the oldest still collecting
      {"ddcc", "--s-"}, {"dddc", "s---"},  // none collecting but the new one: the oldest of all
      {"dddd", "s---"},
  };
  for (const auto& c : cases) {
    sim::ConnectionTable table(3);
    std::vector<std::shared_ptr<FakeConnection>> added;
    std::string stopped;
    for (const char state : c.added) {
      added.push_back(std::make_shared<FakeConnection>(table, state == 'c'));
      table.Add(added.back());
    }
    for (const auto& connection : added) {
      stopped += connection->stopped ? 's' : '-';
    }
    EXPECT_EQ(stopped, c.stopped) << c.added;
  }
}
