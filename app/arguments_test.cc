#include "app/arguments.h"

#include <gtest/gtest.h>

// Only the 32-bit edges: the command line shows the rest.
TEST(ConvertLikeAtoi, ClampsToThe32BitBoundsWithoutWrapping) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"\t\n\v\f\r +17x", 17},          {"+-5", 0},
      {"2147483647", 2147483647},       {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1}, {"-2147483649", -2147483647 - 1},
      {"000000000000000000000042", 42},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app::ConvertLikeAtoi(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(Ranges, PortIs1To55555AndLayerIs1To99) {
  EXPECT_TRUE(app::IsValidPort(1) && app::IsValidPort(55555) && app::IsValidLayer(1) &&
              app::IsValidLayer(99));
  EXPECT_FALSE(app::IsValidPort(-2147483647 - 1) || app::IsValidLayer(-2147483647 - 1));
}
