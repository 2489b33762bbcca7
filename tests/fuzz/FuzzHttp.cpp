// The page's server reads requests from whoever connects: every byte stream is a series of
// requests or a clear refusal, never a crash, and no body is taken beyond its limit, whatever its
// framing (a length, chunks) and however the bytes arrive.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "live/HttpParse.h"

using namespace simhost::live;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  // The first byte chooses how the rest arrives: in pieces of 1 to 256 bytes.
  const std::size_t piece = data[0] + 1u;
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  constexpr std::size_t kLimit = 4096;
  std::string in;
  std::size_t fed = 0;
  enum { Head, Body } state = Head;
  HttpRequest request;
  BodyReader body;
  while (true) {
    if (state == Head) {
      std::size_t end = 0;
      const HttpHeadResult head = parseHead(in, 1024, &request, &end);
      if (head.status == HttpHeadResult::Bad) {
        FUZZ_CHECK(head.error >= 400 && head.error < 600 && !head.message.empty());
        return 0;
      }
      if (head.status == HttpHeadResult::Complete) {
        FUZZ_CHECK(end <= in.size());
        FUZZ_CHECK(!request.method.empty() && !request.path.empty() && request.path[0] == '/');
        in.erase(0, end);
        body = BodyReader{};
        std::string why;
        if (!body.begin(request, kLimit, &why)) {
          FUZZ_CHECK(!why.empty() && body.refusal() >= 400);
          return 0;
        }
        state = Body;
        continue;
      }
    } else {
      std::string why;
      const BodyReader::Result r = body.take(&in, &request.body, &why);
      FUZZ_CHECK(request.body.size() <= kLimit);
      if (r == BodyReader::Result::Bad) {
        FUZZ_CHECK(!why.empty());
        return 0;
      }
      if (r == BodyReader::Result::Done) {
        state = Head;
        continue;
      }
    }
    if (fed >= stream.size()) return 0;
    const std::size_t n = std::min(piece, stream.size() - fed);
    in.append(stream, fed, n);
    fed += n;
  }
}
