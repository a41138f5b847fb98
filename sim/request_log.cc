#include "sim/request_log.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace sim {

namespace {

// "2025-01-23 12:00:00.000" in UTC.
std::string FormatUtc(std::chrono::system_clock::time_point at) {
  const auto since_epoch = at.time_since_epoch();
  const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
  const long milliseconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000);
  // The sim runs on one thread, so the C library's shared result is safe here.
  const std::tm parts = *std::gmtime(&seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                milliseconds);
  return text;
}

// A value from the request as it shows on the line: a dash when absent, and
// control characters as '?' so that the line stays one line.
std::string OrDash(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      c = '?';
    }
  }
  return text.empty() ? "-" : text;
}

// How far "time" lies ahead of the moment the request was complete, in
// milliseconds; negative when it lies behind.
std::string TimeAhead(const RequestRecord& record) {
  if (!record.verdict.time) {
    return "-";
  }
  const double ahead_ms =
      static_cast<double>(*record.verdict.time - UnixTime100ns(record.received_at)) / 10000.0;
  char text[64];
  std::snprintf(text, sizeof text, "%+.1f ms", ahead_ms);
  return text;
}

}  // namespace

std::int64_t UnixTime100ns(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count() / 100;
}

std::string FormatRequestLine(const RequestRecord& record) {
  const RequestVerdict& verdict = record.verdict;
  std::string line = FormatUtc(record.received_at) + " UTC " + record.peer + " layer " +
                     (verdict.layer > 0 ? std::to_string(verdict.layer) : "-") + " (layer_id " +
                     OrDash(verdict.layer_id) + ", head_id " + OrDash(verdict.head_id) + ") " +
                     OrDash(verdict.type) + " _id " + OrDash(verdict.id) + " time ahead " +
                     TimeAhead(record) + ": " +
                     (verdict.accepted ? "Ok" : "Error - " + verdict.reason);
  if (record.answer != "judge") {
    line += " [answer " + record.answer + "]";
  }
  return line;
}

std::string FormatNoRequestLine(std::chrono::system_clock::time_point at, const std::string& peer) {
  return FormatUtc(at) + " UTC " + peer + " closed the connection without sending a request";
}

std::string FormatBytesAfterRequestLine(std::chrono::system_clock::time_point at,
                                        const std::string& peer) {
  return FormatUtc(at) + " UTC " + peer + " sent more bytes after its request";
}

std::string FormatLogEntry(const RequestRecord& record) {
  nlohmann::ordered_json entry;
  entry["received"] = FormatUtc(record.received_at);
  entry["peer"] = record.peer;
  entry["request"] = record.request;
  entry["verdict"] = record.verdict.accepted ? "Ok" : "Error";
  entry["reason"] = record.verdict.reason;
  entry["answer"] = record.answer;
  // A request need not be valid UTF-8; its bad bytes are logged replaced.
  return entry.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace sim
