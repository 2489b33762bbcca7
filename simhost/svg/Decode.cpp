#include "svg/Decode.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <zlib.h>

#include "core/Files.h"

namespace simhost::svg {
namespace {

// A gzip-compressed drawing (.svgz) inflated; false with *error when the stream is broken or
// inflates beyond the size limit of drawing files.
bool inflateGzip(const std::string& bytes, std::string* out, std::string* error) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) {
    *error = "cannot read the compressed drawing";
    return false;
  }
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(bytes.size(), UINT32_MAX));
  std::string text;
  char buffer[65536];
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    text.append(buffer, sizeof buffer - z.avail_out);
    if (text.size() > kMaxFileBytes) {
      inflateEnd(&z);
      *error = "the compressed drawing inflates to more than " + std::to_string(kMaxFileBytes >> 20) + " MB";
      return false;
    }
    if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // the stream ends early
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END) {
    *error = std::string("the compressed drawing is broken (") + (z.msg ? z.msg : "it ends early") + ")";
    return false;
  }
  *out = std::move(text);
  return true;
}

}  // namespace

bool decodeDrawing(const std::string& bytes, std::string* text, Encoding* encoding, std::string* error) {
  std::string inflated;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
      static_cast<unsigned char>(bytes[1]) == 0x8B) {
    if (!inflateGzip(bytes, &inflated, error)) return false;
  } else {
    inflated = bytes;
  }
  return decodeText(std::move(inflated), text, encoding, error);
}

}  // namespace simhost::svg
