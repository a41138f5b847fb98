#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "sim/limits.h"
#include "sim/request_check.h"

namespace sim {

// One judged request, as the sim reports it.
struct RequestRecord {
  std::chrono::system_clock::time_point received_at;
  std::string peer;               // address:port
  std::string request;            // the raw request, at most kLoggedRequestBytes of it
  std::size_t request_bytes = 0;  // the size of the whole request
  RequestVerdict verdict;
  std::string answer;  // the name of the answer mode played
  std::string sent;    // the answer bytes that went out; empty for none, close and reset
};

// The readable line for standard output: time received, peer, layer with
// "layer_id" and "head_id", type, "_id", how far "time" lies ahead of the
// sim's clock, verdict and reason. No line feed.
std::string FormatRequestLine(const RequestRecord& record);

// A line about a connection rather than a request: the present time, the
// peer and what it did. No line feed.
std::string FormatConnectionLine(const std::string& peer, const std::string& what);

// The same as one JSON Lines entry, with the answer sent: the request as an
// object where it parses, else as text, cut when longer than the log holds,
// and as text too when nested deeper than kDeepestLoggedNesting. No line feed.
std::string FormatLogEntry(const RequestRecord& record);

// The log file (--log), one entry a line: the one owner of the file and of
// the news that writing to it fails, told once until writing works again.
class RequestLog {
 public:
  // Opens `path` for appending; false, with the reason told, when it does not.
  bool Open(const std::string& path);
  // Appends one entry; without an open file, nothing.
  void Write(const std::string& entry);

 private:
  std::string path_;
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file_{nullptr, &std::fclose};
  bool failing_ = false;
};

}  // namespace sim
