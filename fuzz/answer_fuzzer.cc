// Answer bytes, arriving in arbitrary pieces, through the held answer text and
// its classification: after every piece the verdict must be the one a plain
// reading of the first 1024 bytes (up to the first zero byte) gives.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "exchange/answer.h"

using exchange::AnswerVerdict;
using exchange::kAnswerCapacity;

namespace {

void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "answer property broken: %s\n", property);
    std::abort();
  }
}

AnswerVerdict ReferenceVerdict(std::string_view arrived) {
  const std::string_view held = arrived.substr(0, std::min<std::size_t>(arrived.size(), 1024));
  const std::string_view searched = held.substr(0, held.find('\0'));
  auto holds = [&](std::string_view word) { return searched.find(word) != std::string_view::npos; };
  if (!holds("\"status\"")) {
    return AnswerVerdict::kNone;
  }
  // A status member whose quoted value is one of the words decides; one whose
  // value is still arriving leaves no verdict yet.
  auto skip_blanks = [](std::string_view& rest) {
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t\r\n")));
  };
  for (std::size_t at = searched.find("\"status\""); at != std::string_view::npos;
       at = searched.find("\"status\"", at + 1)) {
    std::string_view rest = searched.substr(at + 8);
    skip_blanks(rest);
    if (rest.empty()) {
      return AnswerVerdict::kNone;
    }
    if (rest.front() != ':') {
      continue;
    }
    rest.remove_prefix(1);
    skip_blanks(rest);
    if (rest.empty()) {
      return AnswerVerdict::kNone;
    }
    if (rest.front() != '"') {
      continue;
    }
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) {
      return AnswerVerdict::kNone;
    }
    const std::string_view word = rest.substr(1, close - 1);
    if (word == "Ok" || word == "ok") {
      return AnswerVerdict::kOk;
    }
    if (word == "Error" || word == "error") {
      return AnswerVerdict::kError;
    }
  }
  if (holds("\"Ok\"") || holds("\"ok\"")) {
    return AnswerVerdict::kOk;
  }
  if (holds("\"Error\"") || holds("\"error\"")) {
    return AnswerVerdict::kError;
  }
  return AnswerVerdict::kNone;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  char answer_buffer[kAnswerCapacity + 1];
  int fill = 0;
  std::string arrived;  // every byte the server sent so far, read or not
  while (input.remaining_bytes() > 0) {
    const std::size_t piece_size = input.ConsumeIntegralInRange<std::size_t>(1, 1500);
    const std::string piece = input.ConsumeBytesAsString(piece_size);
    arrived += piece;
    // A receive takes at most the free room; with none it places nothing and
    // the held text is not looked at again.
    const int taken = static_cast<int>(
        std::min<std::size_t>(piece.size(), static_cast<std::size_t>(kAnswerCapacity - fill)));
    if (taken == 0) {
      continue;
    }
    std::memcpy(answer_buffer + fill, piece.data(), static_cast<std::size_t>(taken));
    const AnswerVerdict verdict = exchange::HoldReceived(answer_buffer, fill, taken);

    Require(fill == static_cast<int>(std::min<std::size_t>(arrived.size(), 1024)),
            "the held text is the first 1024 bytes that arrived");
    Require(answer_buffer[fill] == '\0', "a zero byte stands behind the held bytes");
    Require(verdict == ReferenceVerdict(arrived), "the verdict is the plain search's");
    if (verdict != AnswerVerdict::kNone) {
      break;  // a verdict ends the wait; later bytes stay unread
    }
  }
  return 0;
}
