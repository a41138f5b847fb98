#include "sim/request_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A request for layer 3 as the client sends it, with `params` inside.
std::string Request(const std::string& type, const std::string& params) {
  return R"({"_id":"3432000","params":{)" + params + R"(},"type":")" + type + R"("})";
}

const std::string kAddressed = R"("head_id":"1","layer_id":"2")";

}  // namespace

TEST(CheckRequest, JudgesWhatTheClientMustWrite) {
  const std::string deep = std::string(140000, '[') + std::string(140000, ']');
  const struct {
    std::string request;
    std::string reason;  // empty: accepted
  } cases[] = {
      {Request("DSK_Play", kAddressed + R"(,"time":17376336010000000)"), ""},
      {Request("DSK_Eject", kAddressed), ""},
      {Request("DSK_Play", kAddressed),
       R"("params"."time" should be an integer for a timed command)"},
      {Request("DSK_Eject", R"("head_id":"1","layer_id":)" + deep),
       R"("params"."layer_id" should be the string "2" for layer 3)"},
      {Request("DSK_Eject", R"("layer_id":"2","head_id":)" + deep),
       R"("params"."head_id" should be the string "1" for layer 3)"},
  };
  for (const auto& c : cases) {
    const sim::RequestVerdict verdict = sim::CheckRequest(c.request);
    EXPECT_EQ(verdict.reason, c.reason) << c.request.substr(0, 80);
    EXPECT_EQ(verdict.accepted, c.reason.empty()) << c.request.substr(0, 80);
  }
}
