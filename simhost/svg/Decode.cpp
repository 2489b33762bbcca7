#include "svg/Decode.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <zlib.h>

#include "svg/Files.h"

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

bool decodeDrawing(const std::string& bytes, std::string* text, std::string* error) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
      static_cast<unsigned char>(bytes[1]) == 0x8B) {
    if (!inflateGzip(bytes, text, error)) return false;
  } else {
    *text = bytes;
  }
  const auto starts = [&](std::initializer_list<unsigned char> prefix) {
    if (text->size() < prefix.size()) return false;
    std::size_t k = 0;
    for (unsigned char c : prefix)
      if (static_cast<unsigned char>((*text)[k++]) != c) return false;
    return true;
  };
  const char* unsupported = nullptr;
  if (starts({0xFF, 0xFE, 0, 0}) || starts({0, 0, 0xFE, 0xFF}) || starts({'<', 0, 0, 0}) ||
      starts({0, 0, 0, '<'})) {
    unsupported = "UTF-32";
  } else if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF}) || starts({'<', 0}) || starts({0, '<'})) {
    unsupported = "UTF-16";
  }
  if (unsupported != nullptr) {
    *error = std::string("the drawing is written in ") + unsupported +
             ", which is not supported: save it as UTF-8";
    return false;
  }
  // The encoding the XML declaration names, when it names one.
  const std::size_t start = starts({0xEF, 0xBB, 0xBF}) ? 3 : 0;  // after a UTF-8 byte order mark
  if (text->compare(start, 5, "<?xml") == 0) {
    const std::size_t end = text->find("?>");
    const std::string declaration = text->substr(0, end);
    const std::size_t at = declaration.find("encoding");
    if (at != std::string::npos) {
      const std::size_t quote = declaration.find_first_of("\"'", at);
      const std::size_t close = quote == std::string::npos ? quote : declaration.find(declaration[quote], quote + 1);
      if (quote != std::string::npos && close != std::string::npos) {
        std::string encoding = declaration.substr(quote + 1, close - quote - 1);
        std::string lower = encoding;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower != "utf-8" && lower != "utf8" && lower != "us-ascii" && lower != "ascii") {
          *error = "the drawing declares the encoding \"" + encoding +
                   "\", which is not supported: save it as UTF-8";
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace simhost::svg
