#include "sim/request_log.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>

#include "sim/request_framing.h"

namespace sim {

namespace {

// "2025-01-23 12:00:00.000" in UTC, or with `iso` "2025-01-23T12:00:00Z":
// ISO 8601 in the whole seconds that jq's fromdateiso8601 reads.
std::string FormatUtc(std::chrono::system_clock::time_point at, bool iso = false) {
  const auto since_epoch = at.time_since_epoch();
  const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
  const long milliseconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000);
  // The sim runs on one thread, so the C library's shared result is safe here.
  const std::tm parts = *std::gmtime(&seconds);
  char text[64];
  if (iso) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  milliseconds);
  }
  return text;
}

// The length of the UTF-8 sequence at `at` when it would act on a terminal
// rather than show: a C1 control (U+0080..U+009F) or a bidirectional override
// (U+202A..U+202E, U+2066..U+2069); 0 for anything else.
std::size_t TerminalControlLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  if (byte(at) == 0xC2 && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F) {
    return 2;
  }
  if (byte(at) == 0xE2 &&
      ((byte(at + 1) == 0x80 && byte(at + 2) >= 0xAA && byte(at + 2) <= 0xAE) ||
       (byte(at + 1) == 0x81 && byte(at + 2) >= 0xA6 && byte(at + 2) <= 0xA9))) {
    return 3;
  }
  return 0;
}

// A value from the request as it shows on the line: a dash when absent, and
// what a terminal would act on (controls, bidirectional overrides) as a JSON
// style \uXXXX escape, the backslash doubled, so that the line stays one
// plain line that says what arrived.
std::string OrDash(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = TerminalControlLength(text, i);
    unsigned code = 0;
    if (c < 0x20 || c == 0x7f) {
      code = c;
    } else if (length == 2) {
      code = static_cast<unsigned char>(text[i + 1]);
    } else if (length == 3) {
      code = 0x2000u | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
    } else {
      shown += c == '\\' ? "\\\\" : std::string(1, text[i]);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    shown += escape;
    i += length > 0 ? length - 1 : 0;
  }
  return shown.empty() ? "-" : shown;
}

// How far "time" lies ahead of the moment the request was complete, in
// milliseconds; negative when it lies behind.
std::string TimeAhead(const RequestRecord& record) {
  if (!record.verdict.time) {
    return "-";
  }
  const std::int64_t time = *record.verdict.time;
  const std::int64_t now = UnixTime100ns(record.received_at);
  // Where the difference passes the 64-bit range, the two lie so far apart
  // that a double's rounding of each does not show.
  const bool fits = now >= 0 ? time >= std::numeric_limits<std::int64_t>::min() + now
                             : time <= std::numeric_limits<std::int64_t>::max() + now;
  const double ahead_ms = (fits ? static_cast<double>(time - now)
                                : static_cast<double>(time) - static_cast<double>(now)) /
                          10000.0;
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

std::string FormatConnectionLine(const std::string& peer, const std::string& what) {
  return FormatUtc(std::chrono::system_clock::now()) + " UTC " + peer + " " + what;
}

std::string FormatLogEntry(const RequestRecord& record) {
  using nlohmann::ordered_json;
  ordered_json entry;
  entry["received"] = FormatUtc(record.received_at, true);
  entry["peer"] = record.peer;
  const bool cut = record.request_bytes > kLoggedRequestBytes;
  const std::string& logged = record.request;
  RequestScan scan;
  FindRequestEnd(scan, logged.data(), logged.size());
  // Member order as it arrived, so the entry shows the request as sent.
  ordered_json request = cut || scan.deepest > kDeepestLoggedNesting
                             ? ordered_json()
                             : ordered_json::parse(logged, nullptr, false);
  entry["request"] = request.is_discarded() || request.is_null() ? ordered_json(logged) : request;
  entry["request_bytes"] = record.request_bytes;
  entry["request_cut"] = cut;
  entry["verdict"] = record.verdict.accepted ? "Ok" : "Error";
  entry["reason"] = record.verdict.reason;
  entry["answer"] = record.answer;
  entry["sent"] = record.sent;
  // A request need not be valid UTF-8; its bad bytes are logged replaced.
  return entry.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

bool RequestLog::Open(const std::string& path) {
  path_ = path;
  file_.reset(std::fopen(path.c_str(), "ab"));
  if (!file_) {
    std::cerr << "larkwire-sim: can't open the log file " << path << ": " << std::strerror(errno)
              << std::endl;
    return false;
  }
  // Unbuffered: each entry is one write, whole in the file when it returns.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
#ifdef SIGXFSZ
  // A write past the file size limit (ulimit -f) then fails like one to a
  // full disk, instead of ending the sim.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  return true;
}

void RequestLog::Write(const std::string& entry) {
  if (!file_) {
    return;
  }
  std::fseek(file_.get(), 0, SEEK_END);
  const long whole = std::ftell(file_.get());
  const std::string line = entry + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file_.get()) == line.size();
  if (!written && !failing_) {
    std::cerr << "larkwire-sim: can't write to the log file " << path_ << ": "
              << std::strerror(errno) << "; entries are lost until writing works again"
              << std::endl;
  } else if (written && failing_) {
    std::cerr << "larkwire-sim: writing to the log file " << path_ << " again" << std::endl;
  }
  if (!written && whole >= 0) {
    // A line cut short would run into the next entry: the file is cut back
    // to its last whole line.
    std::error_code ignored;
    std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(whole), ignored);
  }
  std::clearerr(file_.get());
  failing_ = !written;
}

}  // namespace sim
