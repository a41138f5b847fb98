#include "sim/request_log.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "sim/request_framing.h"

namespace sim {

namespace {

// "2025-01-23 12:00:00.000" in UTC, or with `iso` "2025-01-23T12:00:00Z":
// ISO 8601 in the whole seconds that jq's fromdateiso8601 reads.
std::string FormatUtc(std::chrono::system_clock::time_point at, bool iso = false) {
  const std::time_t seconds = at.time_since_epoch() / std::chrono::seconds(1);
  const long ms = static_cast<long>(at.time_since_epoch() / std::chrono::milliseconds(1) % 1000);
  // The sim runs on one thread, so the C library's shared result is safe here.
  const std::tm parts = *std::gmtime(&seconds);
  char text[64];
  std::strftime(text, sizeof text, iso ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &parts);
  char fraction[16];
  std::snprintf(fraction, sizeof fraction, ".%03ld", ms);
  return iso ? text : text + std::string(fraction);
}

// A value from the request as it shows on the line: a dash when absent, and
// what a terminal would act on rather than show as a JSON style \uXXXX
// escape, the backslash doubled, so that the line stays one plain line that
// says what arrived. What acts: controls, C1 controls (U+0080..U+009F, two
// bytes in UTF-8) and bidirectional overrides (U+202A..U+202E and
// U+2066..U+2069, three bytes).
std::string ShownOnTheLine(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = [&text](std::size_t at) {
      return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
    };
    const unsigned c = byte(i), second = byte(i + 1), third = byte(i + 2);
    const unsigned bidi = 0x2000u | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
    const std::size_t length =
        c < 0x20 || c == 0x7f                           ? 1
        : c == 0xC2 && second >= 0x80 && second <= 0x9F ? 2
        : c == 0xE2 && (second & 0xFEu) == 0x80 && (third & 0xC0u) == 0x80 &&
                ((bidi >= 0x202A && bidi <= 0x202E) || (bidi >= 0x2066 && bidi <= 0x2069))
            ? 3
            : 0;
    if (length == 0) {
      shown += c == '\\' ? "\\\\" : std::string(1, text[i]);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", length == 1 ? c : length == 2 ? second : bidi);
    shown += escape;
    i += length - 1;
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
  // In the unit of "time": 100 nanoseconds since 1970 began, UTC.
  const std::int64_t now = record.received_at.time_since_epoch() / std::chrono::nanoseconds(100);
  // Where the difference would pass the 64-bit range, the two lie so far
  // apart that a double's rounding of each does not show.
  const bool fits = now >= 0 ? time >= INT64_MIN + now : time <= INT64_MAX + now;
  const double ahead =
      fits ? static_cast<double>(time - now) : static_cast<double>(time) - static_cast<double>(now);
  char text[64];
  std::snprintf(text, sizeof text, "%+.1f ms", ahead / 10000.0);
  return text;
}

}  // namespace

std::string FormatRequestLine(const RequestRecord& record) {
  const RequestVerdict& verdict = record.verdict;
  return FormatUtc(record.received_at) + " UTC " + record.peer + " layer " +
         (verdict.layer > 0 ? std::to_string(verdict.layer) : "-") + " (layer_id " +
         ShownOnTheLine(verdict.layer_id) + ", head_id " + ShownOnTheLine(verdict.head_id) + ") " +
         ShownOnTheLine(verdict.type) + " _id " + ShownOnTheLine(verdict.id) + " time ahead " +
         TimeAhead(record) + ": " + (verdict.accepted ? "Ok" : "Error - " + verdict.reason) +
         (record.answer == "judge" ? "" : " [answer " + record.answer + "]");
}

std::string FormatConnectionLine(const std::string& peer, const std::string& what) {
  return FormatUtc(std::chrono::system_clock::now()) + " UTC " + peer + " " + what;
}

std::string FormatLogEntry(const RequestRecord& record) {
  using nlohmann::ordered_json;
  const bool cut = record.request_bytes > kLoggedRequestBytes;
  RequestScan scan;
  FindRequestEnd(scan, record.request.data(), record.request.size());
  // Member order as it arrived, so the entry shows the request as sent.
  const ordered_json request = cut || scan.deepest > kDeepestLoggedNesting
                                   ? ordered_json()
                                   : ordered_json::parse(record.request, nullptr, false);
  const ordered_json entry = {
      {"received", FormatUtc(record.received_at, true)},
      {"peer", record.peer},
      {"request",
       request.is_discarded() || request.is_null() ? ordered_json(record.request) : request},
      {"request_bytes", record.request_bytes},
      {"request_cut", cut},
      {"verdict", record.verdict.accepted ? "Ok" : "Error"},
      {"reason", record.verdict.reason},
      {"answer", record.answer},
      {"sent", record.sent}};
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
