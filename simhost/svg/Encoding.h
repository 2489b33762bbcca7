// The character encoding of a drawing file: read with the C library's iconv into the UTF-8 text
// that the importer parses, and written back so that the input's bytes stay wherever the export
// does not splice.
#ifndef SARVELLO_SIMHOST_SVG_ENCODING_H
#define SARVELLO_SIMHOST_SVG_ENCODING_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace simhost::svg {

struct Splice;

struct Encoding {
  // The encoding the file is written in, as its declaration or byte order mark names it
  // ("UTF-8" when it names none).
  std::string name = "UTF-8";
  enum class Output {
    Text,     // UTF-8 (or ASCII): the file's bytes are the text itself
    Bytes,    // ASCII-compatible: the input's bytes, new text spliced in and encoded like them
    Utf8,     // anything else (UTF-16, UTF-32, stateful or multi-byte encodings whose bytes
              // can stand for ASCII characters): written as UTF-8, the declaration changed
  } output = Output::Text;
  std::string bytes;  // Bytes: the file as read (inflated)
  // Bytes: after each character whose UTF-8 form is not its own single byte, the offset in the
  // text and in the bytes.
  std::vector<std::pair<std::size_t, std::size_t>> breaks;
  std::size_t textStart = 0;  // Bytes: where the text begins in the bytes (after a byte order mark)
  // The encoding name's place in the text's XML declaration (begin, end), when it has one.
  std::size_t declaredBegin = 0, declaredEnd = 0;

  bool declared() const { return declaredEnd > declaredBegin; }
};

// The file's bytes as UTF-8 text: the encoding found from a byte order mark or the first bytes
// (UTF-16, UTF-32, EBCDIC), then from the XML declaration, and converted with iconv. The text
// keeps no byte order mark except UTF-8's. False with *error naming the encoding when iconv does
// not know it or the bytes are not valid in it.
bool decodeText(std::string bytes, std::string* text, Encoding* encoding, std::string* error);

// The text with `splices` applied (offsets in the text, new text in UTF-8), in the encoding the
// file is written back in (see Encoding::Output).
std::string encodeText(const std::string& text, const Encoding& encoding, std::vector<Splice> splices);

// The splice that makes the text's declaration name UTF-8, for a text handed on as UTF-8 (to the
// renderer, to the page); none when the declaration names no encoding or names UTF-8.
std::vector<Splice> utf8Declaration(const std::string& text, const Encoding& encoding);

}  // namespace simhost::svg

#endif
