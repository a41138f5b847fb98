#pragma once

#include <string_view>

namespace exchange {

// The most answer bytes ever read.
constexpr int kAnswerCapacity = 1024;

// kNone: no verdict yet, more bytes may bring one. kNoAnswer: no verdict, and
// the held text can no longer change.
enum class AnswerVerdict { kNone, kOk, kError, kNoAnswer };

// The verdict on the answer text held so far (up to its first zero byte);
// `text_is_final` when no byte can be added to it any more.
//
// A UTF-8 byte-order mark at the start counts as blank. Text that begins with
// `{` (blanks aside) is read as JSON objects one after another, names and
// values as written, escapes not decoded. In each, its own "status" member
// decides as soon as its quoted value has wholly arrived, when that value is
// Ok, ok, Error or error; a "status" nested deeper never decides over it. An
// object that ends without such a member leaves the verdict to the word rule
// over the whole text up to its end: "status" must occur, then "Ok" or "ok"
// anywhere gives OK, else "Error" or "error" gives ERROR. Any other text, and
// whatever follows objects that is neither blank nor an object, is judged by
// the word rule over the whole text as it arrives. An object cut off is judged
// by the word rule once the text is final.
AnswerVerdict ClassifyAnswer(std::string_view held_text, bool text_is_final);

// The answer bytes received so far, in arrival order.
struct AnswerBuffer {
  char bytes[kAnswerCapacity];
  int fill = 0;
};

// What the wait does after one receive.
enum class WaitStep { kGoOn, kOk, kError, kNoAnswer, kConnectionLost };

// Takes the result of one receive into the held answer and classifies the
// held text again: `received` bytes already placed at `answer.bytes +
// answer.fill`, 0 at the end of the stream (the server has closed its side),
// or -1 for a failure with the socket layer's `error`. A reset, a connection
// that is not connected and one that timed out are lost (the error is
// reported); an interrupted call or one that would block leaves all as it
// was; after any other failure, as at the end of the stream, nothing more can
// arrive. The text is final then, or once the buffer is full or a zero byte
// has arrived.
WaitStep TakeReceive(AnswerBuffer& answer, long received, int error);

}  // namespace exchange
