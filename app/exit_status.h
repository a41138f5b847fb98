#pragma once

namespace app {

// The process exit status; a caller that keeps only the low 8 bits sees -1 as
// 255 and -12 as 244.
enum ExitStatus : int {
  kOk = 0,
  kUsage = -1,
  kBadPort = -2,
  kBadLayer = -3,
  kSocketLibraryFailed = -4,
  kConnectFailed = -5,
  kCommandFileFailed = -6,
  kBadCommand = -10,
  kSendFailed = -11,
  kAnswerNotOk = -12,
};

}  // namespace app
