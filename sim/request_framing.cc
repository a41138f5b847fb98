#include "sim/request_framing.h"

#include <algorithm>

namespace sim {

std::size_t FindRequestEnd(RequestScan& scan, const char* piece, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const char c = piece[i];
    if (scan.in_string) {
      if (scan.escaped) {
        scan.escaped = false;
      } else if (c == '\\') {
        scan.escaped = true;
      } else if (c == '"') {
        scan.in_string = false;
      }
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
