#include "exchange/connection.h"

#include <gtest/gtest.h>

TEST(AddressFromText, OnlyFourDecimalNumbersUpTo255AreAnAddress) {
  using exchange::kNoAddress;
  const struct {
    const char* text;
    std::uint32_t expected;
  } cases[] = {
      {"127.0.0.1", 0x7F000001u},
      {"255.255.255.255", kNoAddress},
      // Forms that other readers take as another host: refused.
      {"192.168.001.010", kNoAddress},
      {"127.0.0.01", kNoAddress},
      {"10.1", kNoAddress},
      {"0x7f.0.0.1", kNoAddress},
      {"256.0.0.1", kNoAddress},
      {" 1.2.3.4", kNoAddress},
      {"1..3.4", kNoAddress},
      {"localhost", kNoAddress},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exchange::AddressFromText(c.text), c.expected) << c.text;
  }
}
