// The bytes of a drawing file as the XML text the importer reads: inflated when compressed
// (.svgz), checked for an encoding the host reads.
#ifndef SARVELLO_SIMHOST_SVG_DECODE_H
#define SARVELLO_SIMHOST_SVG_DECODE_H

#include <string>

namespace simhost::svg {

// The drawing as UTF-8 text: inflated when it is compressed; refused, with the encoding named,
// when it is written in an encoding the host does not read. False with *error.
bool decodeDrawing(const std::string& bytes, std::string* text, std::string* error);

}  // namespace simhost::svg

#endif
