#include "command/validation.h"

#include <gtest/gtest.h>

#include <string>

using command::ValidateCommand;

namespace {

std::string BadFormat(const std::string& text) {
  return "ERROR - JSON '" + text + "' has bad format.\n";
}
std::string NoType(const std::string& text) {
  return "ERROR - JSON '" + text + "' has not parameter 'type'.\n";
}
std::string NoParams(const std::string& text) {
  return "ERROR - JSON '" + text + "' has not parameter 'params'.\n";
}
std::string BadParams(const std::string& text) {
  return "ERROR - JSON '" + text + "' has bad format for parameter 'params'.\n";
}
std::string TypeNotString(const std::string& text, const std::string& kind) {
  return "Unexpected error on parse JSON '" + text +
         "' ERROR=302, [json.exception.type_error.302] type must be string, but is " + kind + "\n";
}

std::string Nested(int depth) {
  // An object holding `depth - 1` nested arrays.
  return "{\"type\":\"DSK_Cue\",\"params\":{},\"deep\":" + std::string(depth - 1, '[') +
         std::string(depth - 1, ']') + "}";
}

}  // namespace

TEST(ValidateCommand, RefusesEachBrokenShapeWithItsMessage) {
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", BadFormat("")},
      {" \n\t\n", BadFormat(" \n\t\n")},
      {"{", BadFormat("{")},
      {R"({"type":"A","params":{}}{})", BadFormat(R"({"type":"A","params":{}}{})")},
      {R"({"type":"A","params":{}} x)", BadFormat(R"({"type":"A","params":{}} x)")},
      {R"([{"type":"A","params":{}}])", BadFormat(R"([{"type":"A","params":{}}])")},
      {R"("text")", BadFormat(R"("text")")},
      {"12", BadFormat("12")},
      {"true", BadFormat("true")},
      {"null", BadFormat("null")},
      {"{}", NoType("{}")},
      {R"({"params":{}})", NoType(R"({"params":{}})")},
      {R"({"Type":"DSK_Cue","params":{}})", NoType(R"({"Type":"DSK_Cue","params":{}})")},
      {R"({"type":5})", NoParams(R"({"type":5})")},
      {R"({"type":"DSK_Cue","Params":{}})", NoParams(R"({"type":"DSK_Cue","Params":{}})")},
      {R"({"type":"A","params":null})", BadParams(R"({"type":"A","params":null})")},
      {R"({"type":"A","params":[]})", BadParams(R"({"type":"A","params":[]})")},
      {R"({"type":"A","params":"x"})", BadParams(R"({"type":"A","params":"x"})")},
      {R"({"type":"A","params":1})", BadParams(R"({"type":"A","params":1})")},
      {R"({"type":"A","params":false})", BadParams(R"({"type":"A","params":false})")},
      // "params" is looked at before the kind of "type".
      {R"({"type":5,"params":[]})", BadParams(R"({"type":5,"params":[]})")},
      {R"({"type":5,"params":{}})", TypeNotString(R"({"type":5,"params":{}})", "number")},
      {R"({"type":null,"params":{}})", TypeNotString(R"({"type":null,"params":{}})", "null")},
      {R"({"type":true,"params":{}})", TypeNotString(R"({"type":true,"params":{}})", "boolean")},
      {R"({"type":[],"params":{}})", TypeNotString(R"({"type":[],"params":{}})", "array")},
      {R"({"type":{},"params":{}})", TypeNotString(R"({"type":{},"params":{}})", "object")},
      // The byte-order mark is skipped by the parser but quoted as read.
      {bom + "{}", NoType(bom + "{}")},
      // Deeper than 512 levels is refused before anything walks it.
      {Nested(513), BadFormat(Nested(513))},
  };
  for (const auto& c : cases) {
    const command::Validation validation = ValidateCommand(c.text);
    EXPECT_FALSE(validation.valid) << c.text;
    EXPECT_EQ(validation.message, c.message);
  }
}

TEST(ValidateCommand, AcceptsAnyStringTypeAndFlagsOnlyTheFourTimedOnes) {
  const struct {
    std::string text;
    bool timed;
  } cases[] = {
      {R"({"type":"DSK_Play","params":{}})", true},
      {R"({"type":"DSK_Continue","params":{}})", true},
      {R"({"type":"DSK_Stop","params":{"x":1}})", true},
      {R"({"type":"SCTE_SetMessage","params":{}})", true},
      {R"({"type":"DSK_Cue","params":{}})", false},
      {R"({"type":"DSK_Eject","params":{}})", false},
      {R"({"type":"dsk_stop","params":{}})", false},
      {R"({"type":"DSK_Stop ","params":{}})", false},
      {R"({"type":"","params":{}})", false},
      {" \n {\"type\":\"DSK_Play\",\"params\":{}} \n\n", true},
      {"\xEF\xBB\xBF{\"type\":\"DSK_Play\",\"params\":{}}", true},
      {R"({"extra":[1,{"a":null}],"type":"DSK_Cue","params":{"deep":{"x":[]}}})", false},
      {Nested(512), false},
  };
  for (const auto& c : cases) {
    const command::Validation validation = ValidateCommand(c.text);
    EXPECT_TRUE(validation.valid) << c.text << validation.message;
    EXPECT_EQ(validation.command.timed, c.timed) << c.text;
    EXPECT_TRUE(validation.command.params.is_object()) << c.text;
  }
}

TEST(ValidateCommand, SurvivesAHundredThousandLevels) {
  const std::string arrays = std::string(100000, '[') + std::string(100000, ']');
  const std::string text = "{\"type\":\"DSK_Cue\",\"params\":{\"a\":" + arrays + "}}";
  EXPECT_EQ(ValidateCommand(text).message, BadFormat(text));
  const std::string unclosed = "{\"a\":" + std::string(100000, '[');
  EXPECT_EQ(ValidateCommand(unclosed).message, BadFormat(unclosed));
}

TEST(NestingDepth, CountsContainersOnly) {
  using nlohmann::json;
  EXPECT_EQ(command::NestingDepth(json(5)), 0);
  EXPECT_EQ(command::NestingDepth(json::object()), 1);
  EXPECT_EQ(command::NestingDepth(json::parse(R"({"a":1,"b":[2,{"c":[]}],"d":{}})")), 4);
}

TEST(ValidateCommand, BuildsTheDocumentTheLibraryWouldParse) {
  const std::string texts[] = {
      R"({"type":"DSK_Cue","params":{"a":1,"a":{"b":2}},"type":"DSK_Play"})",
      R"({"type":"DSK_Cue","params":{"n":[-1,18446744073709551615,2.50,1e3,true,null,"",[[]],{}]}})",
      "{\"type\":\"DSK_Cue\",\"params\":{\"blob\":\"" + std::string(100000, 'b') + "\\u00e9\"}}",
      "\xEF\xBB\xBF{\"params\":{},\"type\":\"x\",\"\xC3\xA9\":[{\"k\":\"v\"},[1,[2]]]}",
  };
  for (const std::string& text : texts) {
    command::Validation validation = ValidateCommand(text);
    ASSERT_TRUE(validation.valid) << text;
    nlohmann::json expected = nlohmann::json::parse(text);
    EXPECT_EQ(validation.command.params, expected["params"]) << text;
    expected.erase("params");
    validation.command.document.erase("params");
    EXPECT_EQ(validation.command.document, expected) << text;
  }
}
