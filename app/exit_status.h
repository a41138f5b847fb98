#pragma once

namespace app {

// The process exit status; a caller that keeps only the low 8 bits sees -1 as
// 255 and -12 as 244. The comment right above each status is its meaning
// as the user reads it: cmake/exit-status.cmake makes the tables of
// larkwire(1) and the Windows README from these lines.
enum ExitStatus : int {
  // the server answered OK
  kOk = 0,
  // not exactly four arguments; the usage is printed
  kUsage = -1,
  // port outside 1..55555
  kBadPort = -2,
  // layer outside 1..99
  kBadLayer = -3,
  // the socket library did not start (Windows only)
  kSocketLibraryFailed = -4,
  // socket not created, or connect failed
  kConnectFailed = -5,
  // the command file did not open, is over 64 MiB, did not end in five minutes, or memory ran out
  kCommandFileFailed = -6,
  // the command file is not a valid command
  kBadCommand = -10,
  // the request could not be sent, or not within five minutes, or memory ran out building it
  kSendFailed = -11,
  // ERROR answer, connection lost, or no verdict: none in five minutes, or none can come
  kAnswerNotOk = -12,
};

}  // namespace app
