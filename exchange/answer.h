#pragma once

#include <cstdint>
#include <string_view>

namespace exchange {

// The most answer bytes ever read; the answer buffer holds one byte more for
// the terminating zero.
constexpr int kAnswerCapacity = 1024;

// How long the send may take, and then how long the answer is awaited, in
// milliseconds.
constexpr std::uint32_t kTimeLimitMs = 300000;

// kNone: no verdict yet, more bytes may bring one. kNoAnswer: no verdict, and
// the held text can no longer change.
enum class AnswerVerdict { kNone, kOk, kError, kNoAnswer };

// The verdict on the answer text held so far (up to its first zero byte);
// `text_is_final` when no byte can be added to it any more.
//
// Text that begins with `{` (blanks aside) is read as JSON objects one after
// another. In each, its own "status" member decides as soon as its quoted
// value has wholly arrived, when that value is Ok, ok, Error or error; a
// "status" nested deeper never does. An object that ends without such a member
// is judged by the word rule over its own text; with no verdict there, the
// next object is read. Other text is judged by the word rule: "status" must
// occur, then "Ok" or "ok" anywhere gives OK, else "Error" or "error" gives
// ERROR. Text that does not begin with `{` is judged so as it arrives; an
// object cut off, or text after an object that is no object, only once the
// text is final.
AnswerVerdict ClassifyAnswer(std::string_view held_text, bool text_is_final);

// Takes the result of one receive into the held answer: `received` bytes
// already placed at `answer_buffer + fill`, or 0 when the server has closed
// its side. Moves the fill count on, writes the zero behind the held bytes and
// classifies the held text again; the text is final once the buffer is full,
// a zero byte has arrived or the server has closed.
AnswerVerdict HoldReceived(char (&answer_buffer)[kAnswerCapacity + 1], int& fill, int received);

// Whether more than the time limit has gone since `start`; both are readings
// of a wrapping 32-bit millisecond counter.
bool TimeLimitPassed(std::uint32_t start, std::uint32_t now);

}  // namespace exchange
