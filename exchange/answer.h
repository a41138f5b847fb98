#pragma once

#include <cstdint>

namespace exchange {

// The most answer bytes ever read; the answer buffer holds one byte more for
// the terminating zero.
constexpr int kAnswerCapacity = 1024;

// How long the send may take, and then how long the answer is awaited, in
// milliseconds.
constexpr std::uint32_t kTimeLimitMs = 300000;

enum class AnswerVerdict { kNone, kOk, kError };

// Searches the zero-terminated answer text held so far for the quoted words.
// "status" is required. Where it is followed by a colon and a quoted Ok, ok,
// Error or error (blanks allowed around the colon), that word decides; where
// the text ends before such a value has wholly arrived, there is no verdict
// yet. Otherwise "Ok"/"ok" anywhere decides OK, else "Error"/"error" decides
// ERROR, else there is no verdict yet.
AnswerVerdict ClassifyAnswer(const char* held_text);

// Takes `received` more bytes, already placed at `answer_buffer + fill`, into
// the held text: moves the fill count on, writes the zero behind the held
// bytes and classifies the whole held text again.
AnswerVerdict HoldReceived(char (&answer_buffer)[kAnswerCapacity + 1], int& fill, int received);

// Whether more than the time limit has gone since `start`; both are readings
// of a wrapping 32-bit millisecond counter.
bool TimeLimitPassed(std::uint32_t start, std::uint32_t now);

}  // namespace exchange
