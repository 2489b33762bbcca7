// The bytes of a drawing file as the XML text the importer reads: inflated when compressed
// (.svgz), converted to UTF-8 from the encoding it is written in.
#ifndef SARVELLO_SIMHOST_SVG_DECODE_H
#define SARVELLO_SIMHOST_SVG_DECODE_H

#include <string>

#include "svg/Encoding.h"

namespace simhost::svg {

// The drawing as UTF-8 text: inflated when it is compressed, converted from its encoding
// (*encoding tells which, and how the export writes it back). False with *error when the
// compressed stream is broken or the encoding cannot be read.
bool decodeDrawing(const std::string& bytes, std::string* text, Encoding* encoding, std::string* error);

}  // namespace simhost::svg

#endif
