#include "app/arguments.h"

#include <gtest/gtest.h>

TEST(ConvertLikeAtoi, TakesTheLeadingNumberAndClampsToThe32BitBounds) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"4002", 4002},
      {" +4002", 4002},
      {"\t\n\v\f\r 17", 17},
      {"4002abc", 4002},
      {"abc", 0},
      {"", 0},
      {"+", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"-1", -1},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},
      {"000000000000000000000000000042", 42},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertLikeAtoi(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(Ranges, PortIs1To55555AndLayerIs1To99) {
  EXPECT_TRUE(IsValidPort(1));
  EXPECT_TRUE(IsValidPort(55555));
  for (int port : {0, -1, 55556, 65535, 2147483647, -2147483647 - 1}) {
    EXPECT_FALSE(IsValidPort(port)) << port;
  }
  EXPECT_TRUE(IsValidLayer(1));
  EXPECT_TRUE(IsValidLayer(99));
  for (int layer : {0, -1, 100, 2147483647, -2147483647 - 1}) {
    EXPECT_FALSE(IsValidLayer(layer)) << layer;
  }
}
