#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace sim {

// Where a request ends. The client sends no terminator, so the request ends
// with the bracket that closes its root object (or array). Fed one piece at a
// time, the scan looks at each byte once and parses nothing.
struct RequestScan {
  std::size_t depth = 0;    // brackets open outside strings
  std::size_t deepest = 0;  // the most open at once so far
  bool in_string = false;
  bool escaped = false;  // the byte before was a backslash inside a string
};

// How many bytes of `piece` belong to the request when the request ends in
// it; std::string::npos when it goes on past the piece.
inline std::size_t FindRequestEnd(RequestScan& scan, const char* piece, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const char c = piece[i];
    if (scan.escaped) {
      scan.escaped = false;
    } else if (scan.in_string) {
      scan.escaped = c == '\\';
      scan.in_string = c != '"';
    } else if (c == '"') {
      scan.in_string = true;
    } else if (c == '{' || c == '[') {
      scan.deepest = std::max(scan.deepest, ++scan.depth);
    } else if ((c == '}' || c == ']') && scan.depth > 0 && --scan.depth == 0) {
      // Whether the brackets match is for the parse of the whole request.
      return i + 1;
    }
  }
  return std::string::npos;
}

}  // namespace sim
