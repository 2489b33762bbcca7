#include "live/HttpParse.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace simhost::live {

namespace {

bool isToken(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const std::size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX escapes and '+' for a space, as forms and scripts write query parameters. A '%' that does
// not begin an escape stays as it is.
std::string decode(std::string_view s) {
  std::string out;
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '+') {
      out += ' ';
    } else if (s[k] == '%' && k + 2 < s.size() && hexDigit(s[k + 1]) >= 0 && hexDigit(s[k + 2]) >= 0) {
      out += static_cast<char>(hexDigit(s[k + 1]) * 16 + hexDigit(s[k + 2]));
      k += 2;
    } else {
      out += s[k];
    }
  }
  return out;
}

void parseQuery(std::string_view query, HttpRequest* request) {
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view part = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (part.empty()) continue;
    const std::size_t eq = part.find('=');
    request->query.emplace_back(decode(part.substr(0, eq)),
                                eq == std::string_view::npos ? std::string() : decode(part.substr(eq + 1)));
  }
}

HttpHeadResult bad(int status, const std::string& message) {
  HttpHeadResult r;
  r.status = HttpHeadResult::Bad;
  r.error = status;
  r.message = message;
  return r;
}

// A decimal count without sign or spaces, within the size type.
bool count(const std::string& text, std::size_t* value) {
  if (text.empty() || text.size() > 18) return false;
  std::size_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::size_t>(c - '0');
  }
  *value = v;
  return true;
}

}  // namespace

const std::string* HttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (key == name) return &value;
  return nullptr;
}

const std::string* HttpRequest::param(std::string_view name) const {
  for (const auto& [key, value] : query)
    if (key == name) return &value;
  return nullptr;
}

HttpHeadResult parseHead(const std::string& in, std::size_t maxHead, HttpRequest* request,
                         std::size_t* end) {
  // A head ends with an empty line; bare LF line ends are taken too.
  std::size_t stop = in.find("\r\n\r\n");
  std::size_t skip = 4;
  const std::size_t bare = in.find("\n\n");
  if (bare != std::string::npos && (stop == std::string::npos || bare < stop)) {
    stop = bare;
    skip = 2;
  }
  if (stop == std::string::npos) {
    if (in.size() > maxHead) return bad(431, "the request's head is too long");
    return HttpHeadResult{};
  }
  if (stop > maxHead) return bad(431, "the request's head is too long");
  *request = HttpRequest{};
  std::size_t at = 0;
  bool first = true;
  while (at < stop + 1) {
    std::size_t eol = in.find('\n', at);
    if (eol == std::string::npos || eol > stop) eol = stop;
    std::string line = in.substr(at, eol - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = eol + 1;
    if (first) {
      first = false;
      const std::size_t sp1 = line.find(' ');
      const std::size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
      if (sp2 == std::string::npos || line.find(' ', sp2 + 1) != std::string::npos)
        return bad(400, "the request line is not METHOD TARGET VERSION");
      request->method = line.substr(0, sp1);
      const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
      const std::string version = line.substr(sp2 + 1);
      if (request->method.empty() || !std::all_of(request->method.begin(), request->method.end(), isToken))
        return bad(400, "the method is not a token");
      if (version != "HTTP/1.1" && version != "HTTP/1.0") return bad(505, "only HTTP/1.0 and HTTP/1.1 are spoken here");
      if (target.empty() || target[0] != '/') return bad(400, "the target must be a path");
      for (const char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return bad(400, "the target holds control characters");
      const std::size_t q = target.find('?');
      request->path = target.substr(0, q);
      if (q != std::string::npos) parseQuery(std::string_view(target).substr(q + 1), request);
      request->headers.emplace_back(":version", version);
      continue;
    }
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') return bad(400, "folded header lines are not taken");
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return bad(400, "a header line has no name");
    const std::string name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), isToken)) return bad(400, "a header's name is not a token");
    const std::string value = trim(line.substr(colon + 1));
    for (const char c : value)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return bad(400, "a header holds control characters");
    if (request->headers.size() > 100) return bad(431, "the request has too many headers");
    request->headers.emplace_back(lower(name), value);
  }
  *end = stop + skip;
  return HttpHeadResult{HttpHeadResult::Complete, 0, {}};
}

bool BodyReader::begin(const HttpRequest& head, std::size_t limit, std::string* why) {
  limit_ = limit;
  const std::string* encoding = head.header("content-encoding");
  if (encoding != nullptr && lower(*encoding) != "identity") {
    status_ = 415;
    *why = "bodies with a Content-Encoding are not taken";
    return false;
  }
  const std::string* transfer = head.header("transfer-encoding");
  const std::string* length = head.header("content-length");
  if (transfer != nullptr) {
    if (lower(*transfer) != "chunked") {
      status_ = 501;
      *why = "only chunked bodies are taken, not \"" + *transfer + "\"";
      return false;
    }
    if (length != nullptr) {
      *why = "a request may not give both a Content-Length and chunks";
      return false;
    }
    mode_ = Mode::Chunked;
    chunk_ = Chunk::Size;
    return true;
  }
  if (length == nullptr) {
    mode_ = Mode::None;
    return true;
  }
  std::size_t n = 0;
  if (!count(*length, &n)) {
    *why = "the Content-Length is not a number";
    return false;
  }
  if (n > limit_) {
    tooLarge_ = true;
    *why = "the body is larger than this request may be (" + std::to_string(limit_) + " bytes)";
    return false;
  }
  mode_ = n == 0 ? Mode::None : Mode::Length;
  remaining_ = n;
  return true;
}

BodyReader::Result BodyReader::take(std::string* in, std::string* body, std::string* why) {
  const auto grow = [&](std::size_t n) {
    if (body->size() + n > limit_) {
      tooLarge_ = true;
      *why = "the body is larger than this request may be (" + std::to_string(limit_) + " bytes)";
      return false;
    }
    return true;
  };
  if (mode_ == Mode::None || done_) return Result::Done;
  if (mode_ == Mode::Length) {
    const std::size_t n = std::min(remaining_, in->size());
    body->append(*in, 0, n);
    in->erase(0, n);
    remaining_ -= n;
    if (remaining_ > 0) return Result::More;
    done_ = true;
    return Result::Done;
  }
  std::size_t at = 0;
  Result result = Result::More;
  while (result == Result::More) {
    if (chunk_ == Chunk::Data) {
      const std::size_t n = std::min(remaining_, in->size() - at);
      if (!grow(n)) return Result::Bad;
      body->append(*in, at, n);
      at += n;
      remaining_ -= n;
      if (remaining_ > 0) break;
      chunk_ = Chunk::DataEnd;
      continue;
    }
    const std::size_t eol = in->find('\n', at);
    if (eol == std::string::npos) {
      if (in->size() - at > 1024) {
        *why = "a chunk's line is too long";
        return Result::Bad;
      }
      break;
    }
    std::string line = in->substr(at, eol - at);
    at = eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    switch (chunk_) {
      case Chunk::DataEnd:
        if (!line.empty()) {
          *why = "a chunk does not end where its size says";
          return Result::Bad;
        }
        chunk_ = Chunk::Size;
        break;
      case Chunk::Size: {
        const std::string size = line.substr(0, line.find(';'));
        std::size_t n = 0;
        if (size.empty() || size.size() > 15) {
          *why = "a chunk's size is not a hexadecimal number";
          return Result::Bad;
        }
        for (const char c : size) {
          const int d = hexDigit(c);
          if (d < 0) {
            *why = "a chunk's size is not a hexadecimal number";
            return Result::Bad;
          }
          n = n * 16 + static_cast<std::size_t>(d);
        }
        if (!grow(n)) return Result::Bad;
        remaining_ = n;
        chunk_ = n == 0 ? Chunk::Trailer : Chunk::Data;
        break;
      }
      case Chunk::Trailer:
        if (line.empty()) {
          done_ = true;
          result = Result::Done;
        }
        break;
      case Chunk::Data:
        break;
    }
  }
  in->erase(0, at);
  return result;
}

bool wantsKeepAlive(const HttpRequest& request) {
  const std::string* connection = request.header("connection");
  const std::string* version = request.header(":version");
  const std::string wish = connection != nullptr ? lower(*connection) : std::string();
  if (version != nullptr && *version == "HTTP/1.0") return wish == "keep-alive";
  return wish != "close";
}

const char* httpReason(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Content Too Large";
    case 415: return "Unsupported Media Type";
    case 421: return "Misdirected Request";
    case 422: return "Unprocessable Content";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Unknown";
  }
}

std::string formatHead(const HttpResponse& response, std::size_t length, bool close) {
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + httpReason(response.status) + "\r\n";
  if (!response.type.empty()) out += "Content-Type: " + response.type + "\r\n";
  if (response.status != 204) out += "Content-Length: " + std::to_string(length) + "\r\n";
  out += "X-Content-Type-Options: nosniff\r\n";
  for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
  if (close) out += "Connection: close\r\n";
  return out + "\r\n";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace simhost::live
