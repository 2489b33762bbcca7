// Encodings of drawing files, read the way XML processors find them: a byte order mark or the
// first bytes tell the family (UTF-8 and the ASCII-compatible encodings, UTF-16, UTF-32, EBCDIC),
// the XML declaration names the encoding within it, and iconv converts it to UTF-8.
#include "svg/Encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <initializer_list>

#include "svg/DrawingImpl.h"

namespace simhost::svg {
namespace {

// An iconv descriptor that closes itself.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool isUtf8Name(const std::string& name) {
  const std::string n = lower(name);
  return n == "utf-8" || n == "utf8" || n == "us-ascii" || n == "ascii";
}

bool startsWith(const std::string& s, std::initializer_list<unsigned char> prefix) {
  if (s.size() < prefix.size()) return false;
  std::size_t k = 0;
  for (unsigned char c : prefix)
    if (static_cast<unsigned char>(s[k++]) != c) return false;
  return true;
}

// The family of the first bytes: the encoding to read the declaration with, the length of a
// byte order mark, and whether the family decides the encoding whatever the declaration says.
struct Family {
  std::string encoding;  // empty: ASCII-compatible, the declaration decides
  std::size_t bom = 0;
};

Family familyOf(const std::string& b) {
  if (startsWith(b, {0xEF, 0xBB, 0xBF})) return {"UTF-8", 3};
  if (startsWith(b, {0x00, 0x00, 0xFE, 0xFF})) return {"UTF-32BE", 4};
  if (startsWith(b, {0xFF, 0xFE, 0x00, 0x00})) return {"UTF-32LE", 4};
  if (startsWith(b, {0xFE, 0xFF})) return {"UTF-16BE", 2};
  if (startsWith(b, {0xFF, 0xFE})) return {"UTF-16LE", 2};
  if (startsWith(b, {0x00, 0x00, 0x00, '<'})) return {"UTF-32BE", 0};
  if (startsWith(b, {'<', 0x00, 0x00, 0x00})) return {"UTF-32LE", 0};
  if (startsWith(b, {0x00, '<'})) return {"UTF-16BE", 0};
  if (startsWith(b, {'<', 0x00})) return {"UTF-16LE", 0};
  if (startsWith(b, {0x4C, 0x6F, 0xA7, 0x94})) return {"IBM037", 0};  // "<?xm" in EBCDIC
  return {};
}

// The first characters of the file in its family's encoding, enough to hold a declaration.
std::string head(const std::string& bytes, const Family& family) {
  std::string raw = bytes.substr(family.bom, 1024);
  if (family.encoding.empty() || family.encoding == "UTF-8") return raw;
  Converter cd("UTF-8", family.encoding);
  if (!cd.ok()) return {};
  std::string out(raw.size() * 4 + 16, '\0');
  char* in = raw.data();
  std::size_t inLeft = raw.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  iconv(cd.get(), &in, &inLeft, &o, &outLeft);  // stops at a character cut off at the end
  out.resize(out.size() - outLeft);
  return out;
}

// The encoding name in the declaration "<?xml ... encoding='NAME' ...?>" at the start of `text`:
// its offsets, or none.
bool declaredName(const std::string& text, std::size_t start, std::size_t* begin, std::size_t* end) {
  if (text.compare(start, 5, "<?xml") != 0) return false;
  const std::size_t close = text.find("?>", start);
  const std::size_t at = text.find("encoding", start);
  if (at == std::string::npos || (close != std::string::npos && at > close)) return false;
  std::size_t i = at + 8;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i >= text.size() || text[i] != '=') return false;
  ++i;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return false;
  const std::size_t quoteEnd = text.find(text[i], i + 1);
  if (quoteEnd == std::string::npos || (close != std::string::npos && quoteEnd > close)) return false;
  *begin = i + 1;
  *end = quoteEnd;
  return true;
}

// Converts the bytes from `start` on into UTF-8 one character at a time, which tells where each
// character begins, and records where the text's offsets and the bytes' part ways. *spliceable:
// every byte below 0x80 stands for itself, so text can be spliced into the bytes.
bool convert(const std::string& bytes, std::size_t start, const std::string& name, std::string* text,
             Encoding* encoding, bool* spliceable, std::string* error) {
  Converter cd("UTF-8", name);
  if (!cd.ok()) {
    *error = "the drawing declares the encoding \"" + name + "\", which the host cannot read";
    return false;
  }
  text->clear();
  text->reserve(bytes.size() - start + bytes.size() / 4);
  encoding->breaks.clear();
  *spliceable = true;
  char* in = const_cast<char*>(bytes.data()) + start;
  std::size_t inLeft = bytes.size() - start;
  while (inLeft > 0) {
    // The smallest room that takes a character converts exactly one.
    char buffer[16];
    std::size_t room = 1;
    for (;; ++room) {
      char* inAt = in;
      std::size_t left = inLeft;
      char* out = buffer;
      std::size_t outLeft = room;
      const std::size_t r = iconv(cd.get(), &inAt, &left, &out, &outLeft);
      const std::size_t used = inLeft - left, made = room - outLeft;
      if (used > 0 || r != static_cast<std::size_t>(-1)) {
        const bool same = used == 1 && made == 1 && buffer[0] == *in;
        if (!same) {
          for (std::size_t k = 0; k < used; ++k)
            if (static_cast<unsigned char>(in[k]) < 0x80) *spliceable = false;
        }
        text->append(buffer, made);
        in = inAt;
        inLeft = left;
        if (!same) encoding->breaks.emplace_back(text->size(), bytes.size() - inLeft);
        break;
      }
      if (errno == E2BIG && room < sizeof buffer) continue;
      const std::size_t at = bytes.size() - inLeft;
      char where[32];
      std::snprintf(where, sizeof where, "%zu", at);
      *error = "the drawing is not valid " + name + ": " +
               (errno == EINVAL ? "it ends inside a character" : std::string("the bytes at offset ") + where + " are not a character of it");
      return false;
    }
  }
  return true;
}

}  // namespace

bool decodeText(std::string bytes, std::string* text, Encoding* encoding, std::string* error) {
  *encoding = Encoding{};
  const Family family = familyOf(bytes);
  const std::string declaration = head(bytes, family);
  std::size_t begin = 0, end = 0;
  std::string declared;
  if (declaredName(declaration, 0, &begin, &end)) declared = declaration.substr(begin, end - begin);

  std::string name = family.encoding;
  if (name.empty() || name == "IBM037") name = declared.empty() ? std::string("UTF-8") : declared;
  if (isUtf8Name(name)) {
    // The bytes are the text; the declaration's place is the same in both.
    *text = std::move(bytes);
    encoding->name = family.encoding.empty() && !declared.empty() ? declared : std::string("UTF-8");
    if (declaredName(*text, family.bom, &begin, &end)) {
      encoding->declaredBegin = begin;
      encoding->declaredEnd = end;
    }
    return true;
  }
  bool spliceable = false;
  if (!convert(bytes, family.bom, name, text, encoding, &spliceable, error)) return false;
  // A file in a family of its own is named by the family ("UTF-16LE"), however it declares it.
  encoding->name = family.encoding.empty() || family.encoding == "IBM037" ? name : family.encoding;
  if (declaredName(*text, 0, &begin, &end)) {
    encoding->declaredBegin = begin;
    encoding->declaredEnd = end;
  }
  if (spliceable && family.bom == 0) {
    encoding->output = Encoding::Output::Bytes;
    encoding->textStart = 0;
    encoding->bytes = std::move(bytes);
  } else {
    encoding->output = Encoding::Output::Utf8;
    encoding->breaks.clear();
  }
  return true;
}

namespace {

// Where an offset of the text (at a character's start) falls in the bytes.
std::size_t byteOffset(const Encoding& e, std::size_t offset) {
  auto it = std::upper_bound(e.breaks.begin(), e.breaks.end(), offset,
                             [](std::size_t v, const std::pair<std::size_t, std::size_t>& b) { return v < b.first; });
  if (it == e.breaks.begin()) return e.textStart + offset;
  --it;
  return it->second + (offset - it->first);
}

// UTF-8 text in the file's encoding; a character the encoding lacks becomes a character
// reference (the spliced text is markup and attribute values, where references stand for
// characters).
std::string toFileEncoding(const std::string& text, const std::string& name) {
  std::string out;
  if (text.empty()) return out;
  Converter cd(name, "UTF-8");
  if (!cd.ok()) return text;
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  std::string buffer(text.size() * 4 + 16, '\0');
  while (inLeft > 0) {
    char* o = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t r = iconv(cd.get(), &in, &inLeft, &o, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // One UTF-8 character that the encoding cannot hold.
    const auto lead = static_cast<unsigned char>(*in);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    length = std::min(length, inLeft);
    unsigned code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(in[k]) & 0x3F);
    out += "&#" + std::to_string(code) + ";";
    in += length;
    inLeft -= length;
  }
  // A stateful encoding returns to its initial state at the end of each piece.
  char* o = buffer.data();
  std::size_t outLeft = buffer.size();
  iconv(cd.get(), nullptr, nullptr, &o, &outLeft);
  out.append(buffer.data(), buffer.size() - outLeft);
  return out;
}

}  // namespace

std::vector<Splice> utf8Declaration(const std::string& text, const Encoding& encoding) {
  (void)text;
  if (!encoding.declared() || isUtf8Name(encoding.name)) return {};
  return {{encoding.declaredBegin, encoding.declaredEnd, "UTF-8"}};
}

std::string encodeText(const std::string& text, const Encoding& encoding, std::vector<Splice> splices) {
  switch (encoding.output) {
    case Encoding::Output::Text:
      return applySplices(text, std::move(splices));
    case Encoding::Output::Utf8: {
      for (Splice& s : utf8Declaration(text, encoding)) splices.push_back(std::move(s));
      return applySplices(text, std::move(splices));
    }
    case Encoding::Output::Bytes:
      break;
  }
  for (Splice& s : splices) {
    s.begin = byteOffset(encoding, s.begin);
    s.end = byteOffset(encoding, s.end);
    s.text = toFileEncoding(s.text, encoding.name);
  }
  return applySplices(encoding.bytes, std::move(splices));
}

}  // namespace simhost::svg
