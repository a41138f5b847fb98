#pragma once

#include <string>

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
