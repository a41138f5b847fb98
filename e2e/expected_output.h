#pragma once

#include <regex>
#include <string>
#include <vector>

inline const std::string kStep1 = "Step 1/2: send command to layer N...\n";
inline const std::string kStep2 = "Step 2/2: wait answer for the command...\n";
inline const std::string kOkLine = "   OK answer detected.\n";
inline const std::string kErrorLine = "   ERROR answer detected.\n";
inline const std::string kNoAnswerLine = "   !!! ERROR - NO ANSWER in 5 minutes !!!\n";

inline const std::string kUsageText =
    "Larkwire - send command like DSK_Cue,DSK_Play,DSK_Stop,DSK_Eject,DSK_Continue\n"
    ">Larkwire.exe IP Port N file.json\n"
    "  IP - IP address for server connection\n"
    "  Port - port for server connection\n"
    "  N - layer number (1..99)\n"
    "  file.json - JSON file with command for the layer\n"
    "For example:\n"
    ">Larkwire.exe 127.0.0.1 4002 1 DskEject.json\n"
    "as result the application will connect to server \"127.0.0.1:4002\" and do follow:\n"
    "  1) read JSON from file and check format;\n"
    "  2) fill parameter \"_id\" with unique command index (current time with 0.1 second "
    "accuracy);\n"
    "  3) fill parameters \"layer_id\" and \"head_id\" from specified layer number;\n"
    "  4) fill parameter \"time\" (for commands DSK_Play, DSK_Continue or DSK_Stop);\n"
    "  5) send modified command to server;\n"
    "  6) wait answer and exit.\n";

// Exit statuses as a POSIX caller sees them (the low 8 bits).
constexpr int kStatusOk = 0;
constexpr int kStatusUsage = 255;
constexpr int kStatusBadPort = 254;
constexpr int kStatusBadLayer = 253;
constexpr int kStatusConnectFailed = 251;
constexpr int kStatusCommandFileFailed = 250;
constexpr int kStatusBadCommand = 246;
constexpr int kStatusSendFailed = 245;
constexpr int kStatusAnswerNotOk = 244;

// Whether `output` is the four lines of an accepted command; `elapsed_ms` gets
// the figure of the finish line.
inline bool IsOkOutput(const std::string& output, int& elapsed_ms) {
  std::smatch finish;
  if (!std::regex_match(
          output, finish,
          std::regex(kStep1 + kStep2 + kOkLine + "Finish OK elapsed times\\(ms\\): (\\d+)\n"))) {
    return false;
  }
  elapsed_ms = std::stoi(finish[1]);
  return true;
}

// Cases that the Linux client and Larkwire.exe must pass alike.

struct ArgumentRangeCase {
  std::string port, layer, output;
  int status;
};

// Ports and layers out of range, with `listening_port` where the port is fine.
inline std::vector<ArgumentRangeCase> ArgumentRangeCases(const std::string& listening_port) {
  const std::string& port = listening_port;
  return {
      {"0", "1", "Bad port number 0 (must be 1..55555)", kStatusBadPort},
      {"55556", "1", "Bad port number 55556 (must be 1..55555)", kStatusBadPort},
      {"65535", "1", "Bad port number 65535 (must be 1..55555)", kStatusBadPort},
      {"abc", "1", "Bad port number 0 (must be 1..55555)", kStatusBadPort},
      {"-1", "1", "Bad port number -1 (must be 1..55555)", kStatusBadPort},
      // Clamped to the 32-bit bounds, never wrapped as some runtimes' atoi does.
      {"99999999999", "1", "Bad port number 2147483647 (must be 1..55555)", kStatusBadPort},
      {"-99999999999", "1", "Bad port number -2147483648 (must be 1..55555)", kStatusBadPort},
      {"4294967297", "1", "Bad port number 2147483647 (must be 1..55555)", kStatusBadPort},
      {"0", "0", "Bad port number 0 (must be 1..55555)", kStatusBadPort},
      {port, "0", "Bad layer number 0 (must be 1..99)", kStatusBadLayer},
      {port, "100", "Bad layer number 100 (must be 1..99)", kStatusBadLayer},
      {port, "x", "Bad layer number 0 (must be 1..99)", kStatusBadLayer},
      {port, "99999999999", "Bad layer number 2147483647 (must be 1..99)", kStatusBadLayer},
      {port, "-99999999999", "Bad layer number -2147483648 (must be 1..99)", kStatusBadLayer},
  };
}

struct RefusedCommandCase {
  std::string file, output;
};

// One command file for each validation message, and two that must not crash
// or be misprinted: a 100,000-level nesting and printf directives.
inline std::vector<RefusedCommandCase> RefusedCommandCases() {
  const std::string deep = "{\"type\":\"DSK_Cue\",\"params\":{\"a\":" + std::string(100000, '[') +
                           std::string(100000, ']') + "}}";
  return {
      {"", "ERROR - JSON '' has bad format.\n"},
      {"{\"type\":\"DSK_Cue\",\n\"params\":{}} {}\n",
       "ERROR - JSON '{\"type\":\"DSK_Cue\",\n\"params\":{}} {}\n' has bad format.\n"},
      {"{\"params\":{}}\n", "ERROR - JSON '{\"params\":{}}\n' has not parameter 'type'.\n"},
      {"{\"type\":1}", "ERROR - JSON '{\"type\":1}' has not parameter 'params'.\n"},
      {"{\"type\":1,\"params\":[]}",
       "ERROR - JSON '{\"type\":1,\"params\":[]}' has bad format for parameter 'params'.\n"},
      {"{\"type\":5,\"params\":{}}",
       "Unexpected error on parse JSON '{\"type\":5,\"params\":{}}' ERROR=302, "
       "[json.exception.type_error.302] type must be string, but is number\n"},
      {"{\"type\":\"%s%n%d\"}",
       "ERROR - JSON '{\"type\":\"%s%n%d\"}' has not parameter 'params'.\n"},
      {deep, "ERROR - JSON '" + deep + "' has bad format.\n"},
  };
}

struct AnswerWordsCase {
  std::string answer;
  bool ok;
};

// Answers whose quoted words decide: the status member's word, where it is one
// of them, decides over any word elsewhere.
inline const std::vector<AnswerWordsCase> kAnswerWordsCases = {
    {R"({"_id":"3000000","status":"Ok"})", true},
    {R"({"status":"ok"})", true},
    {R"({"status":"Error","message":"unknown clip","ok":false})", false},
    {R"({"status":"Error","message":"unknown clip"})", false},
    {R"({"status":"error"})", false},
};
