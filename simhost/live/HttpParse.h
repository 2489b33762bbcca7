// The wire format of HTTP/1.1 for the page's server: a request's head read from what has
// arrived, its body taken as it comes (with a length, or in chunks) and counted against a limit,
// and answers written out.
#ifndef SARVELLO_SIMHOST_LIVE_HTTPPARSE_H
#define SARVELLO_SIMHOST_LIVE_HTTPPARSE_H

#include <cstddef>
#include <string>

#include "live/HttpServer.h"

namespace simhost::live {

struct HttpHeadResult {
  enum Status { Complete, Incomplete, Bad } status = Incomplete;
  int error = 400;      // Bad: the status to answer
  std::string message;  // Bad: why
};

// Reads a request's head (request line and headers, up to the empty line) from the start of
// `in`. Complete: *request holds it and *end is where the body begins. A head longer than
// maxHead, or one that is not well-formed HTTP/1.x, is Bad.
HttpHeadResult parseHead(const std::string& in, std::size_t maxHead, HttpRequest* request,
                         std::size_t* end);

// A request's body as it arrives: with a Content-Length, or chunked. Bodies with a
// Content-Encoding are refused, so that what is counted is what the handler gets.
class BodyReader {
 public:
  enum class Result { More, Done, Bad };

  // Takes the framing from the request's head; false with *why for framing the server does not
  // take, or a length beyond the limit (tooLarge()).
  bool begin(const HttpRequest& head, std::size_t limit, std::string* why);
  // Whether a body follows the head.
  bool expectsMore() const { return mode_ != Mode::None && !done_; }
  // Moves what belongs to the body from the front of *in to *body. More: the body goes on;
  // Done: it is complete (what follows in *in is the next request); Bad: malformed or too large.
  Result take(std::string* in, std::string* body, std::string* why);
  bool tooLarge() const { return tooLarge_; }
  // The status that answers a refused body: 413 too large, 415 encoded, 501 framing not taken,
  // 400 malformed.
  int refusal() const { return tooLarge_ ? 413 : status_; }

 private:
  enum class Mode { None, Length, Chunked };
  enum class Chunk { Size, Data, DataEnd, Trailer };
  Mode mode_ = Mode::None;
  Chunk chunk_ = Chunk::Size;
  std::size_t limit_ = 0;
  std::size_t remaining_ = 0;  // of the body (Length) or of the current chunk (Chunked)
  bool done_ = false;
  bool tooLarge_ = false;
  int status_ = 400;
};

// Whether the connection stays open after this request's answer.
bool wantsKeepAlive(const HttpRequest& request);

// The head of an answer of `length` bytes: status line and headers (no length for a 204, which
// has no body).
std::string formatHead(const HttpResponse& response, std::size_t length, bool close);
// A text as a JSON string, quoted and escaped.
std::string jsonString(const std::string& text);

}  // namespace simhost::live

#endif
