#include "command/completion.h"

#include <gtest/gtest.h>

#include <string>

using command::TimeOfDay;

namespace {

// The file-time count at 2025-01-23 12:00:00.000 UTC.
constexpr std::uint64_t kFileTimeAtNoon20250123 = 116444736000000000ULL + 17376336000000000ULL;

std::string Request(const std::string& text, int layer, TimeOfDay clock, std::uint64_t file_time) {
  command::Validation validation = command::ValidateCommand(text);
  EXPECT_TRUE(validation.valid) << validation.message;
  command::CompleteCommand(validation.command, layer, clock, file_time);
  return command::EncodeRequest(validation.command.document);
}

}  // namespace

TEST(CommandId, IsLayerMillionsPlusTruncatedTenthsOfTheDay) {
  const struct {
    int layer;
    TimeOfDay clock;
    std::int32_t expected;
  } cases[] = {
      {1, {0, 0, 0, 0}, 1000000},        {1, {0, 0, 9, 950}, 1000099},
      {4, {12, 0, 0, 0}, 4432000},       {12, {1, 0, 0, 99}, 12036000},
      {99, {23, 59, 59, 999}, 99863999}, {7, {0, 0, 0, 999}, 7000009},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(command::CommandIdFor(c.layer, c.clock), c.expected) << c.layer;
  }
}

TEST(LayerAndHead, TwoHeadsShareEachLayerId) {
  const struct {
    int layer;
    const char* layer_id;
    const char* head_id;
  } cases[] = {{1, "1", "1"}, {2, "1", "2"},   {3, "2", "1"},
               {4, "2", "2"}, {98, "49", "2"}, {99, "50", "1"}};
  for (const auto& c : cases) {
    EXPECT_EQ(command::LayerIdFor(c.layer), c.layer_id) << c.layer;
    EXPECT_EQ(command::HeadIdFor(c.layer), c.head_id) << c.layer;
  }
}

TEST(TimeValue, IsUnixTimeIn100NsOneSecondAhead) {
  EXPECT_EQ(command::TimeValueFor(kFileTimeAtNoon20250123), 17376336010000000LL);
  EXPECT_EQ(command::TimeValueFor(kFileTimeAtNoon20250123 + 1234567), 17376336011234567LL);
}

TEST(EncodeRequest, TimedCommandExample) {
  EXPECT_EQ(
      Request("{\n  \"type\": \"DSK_Play\",\n  \"params\": {}\n}\n", 4, {12, 0, 0, 0},
              kFileTimeAtNoon20250123),
      R"({"_id":"4432000","params":{"head_id":"2","layer_id":"2","time":17376336010000000},"type":"DSK_Play"})");
}

TEST(EncodeRequest, UntimedCommandReplacesKeepsAndReorders) {
  const std::string file =
      "{\"type\": \"DSK_Eject\", \"_id\": 5, \"extra\": [1, 2.50, null],\n"
      " \"params\": {\"layer_id\": 7, \"Name\": \"A b\", \"_id\": \"x\", \"time\": \"keep\"}}";
  EXPECT_EQ(
      Request(file, 1, {0, 0, 9, 950}, kFileTimeAtNoon20250123),
      R"({"_id":"1000099","extra":[1,2.5,null],"params":{"Name":"A b","_id":"x","head_id":"1","layer_id":"1","time":"keep"},"type":"DSK_Eject"})");
}

TEST(EncodeRequest, WrittenMembersReplaceAnyKindAndOthersPassUnchanged) {
  const struct {
    std::string file;
    int layer;
    std::string expected;
  } cases[] = {
      // A timed command's "time" string becomes the computed integer.
      {R"({"type":"DSK_Stop","_id":{"a":1},"params":{"time":"x","head_id":null}})", 3,
       R"({"_id":"3432000","params":{"head_id":"1","layer_id":"2","time":17376336010000000},"type":"DSK_Stop"})"},
      // Capitals sort before "_id"; small letters before "p" go between.
      {R"({"type":"DSK_Cue","params":{},"Z":1,"b":true,"_id":null})", 2,
       R"({"Z":1,"_id":"2432000","b":true,"params":{"head_id":"2","layer_id":"1"},"type":"DSK_Cue"})"},
      // Escapes arrive as the characters, in raw UTF-8; control characters stay escaped.
      {R"({"type":"DSK_Cue","params":{"t":"\u00e9\/\"\\\b\t\n\f\r\u0001"}})", 1,
       "{\"_id\":\"1432000\",\"params\":{\"head_id\":\"1\",\"layer_id\":\"1\",\"t\":"
       "\"\xC3\xA9/\\\"\\\\\\b\\t\\n\\f\\r\\u0001\"},\"type\":\"DSK_Cue\"}"},
      // Names compare as unsigned bytes: non-ASCII names come last.
      {"{\"type\":\"DSK_Cue\",\"params\":{},\"\xC3\xA9\":1,\"z\":2}", 1,
       "{\"_id\":\"1432000\",\"params\":{\"head_id\":\"1\",\"layer_id\":\"1\"},\"type\":"
       "\"DSK_Cue\",\"z\":2,\"\xC3\xA9\":1}"},
      // Large and negative numbers, and the kind of every other value, pass unchanged.
      {R"({"type":"X","params":{"u":18446744073709551615,"n":-9223372036854775808,"f":1e3}})", 99,
       R"({"_id":"99432000","params":{"f":1000.0,"head_id":"1","layer_id":"50","n":-9223372036854775808,"u":18446744073709551615},"type":"X"})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Request(c.file, c.layer, {12, 0, 0, 0}, kFileTimeAtNoon20250123), c.expected);
  }
}
