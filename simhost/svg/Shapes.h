// The basic shapes of SVG as the importer reads them: lengths with their units, the geometry of
// <path>, <rect>, <circle>, <ellipse>, <line>, <polyline> and <polygon> in the element's own
// coordinates, and the mapping of a viewBox into a viewport.
#ifndef SARVELLO_SIMHOST_SVG_SHAPES_H
#define SARVELLO_SIMHOST_SVG_SHAPES_H

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "svg/Geometry.h"

namespace simhost::svg {

class ShapeReader {
 public:
  // `name` and `text` (the file's name and its text) place the messages.
  ShapeReader(const std::string& name, const std::string& text) : name_(name), text_(text) {}

  // The size that percentages of the canvas refer to.
  void setCanvas(double width, double height) {
    width_ = width;
    height_ = height;
  }
  double canvasWidth() const { return width_; }
  double canvasHeight() const { return height_; }

  // "file:line:column: <name>", the place of an element in messages.
  std::string where(pugi::xml_node node) const;
  // Sets *error to where(node) + " attribute NAME: what" and answers false.
  bool fail(std::string* error, pugi::xml_node node, const char* attribute, const std::string& what) const;

  // The attribute as a length in user units; `missing` when absent; `percentBase` is what 100%
  // means. False with *error naming the place.
  bool length(pugi::xml_node node, const char* name, double percentBase, double missing, double* out,
              std::string* error) const;
  // A length without a percentage, in user units.
  static bool absoluteLength(std::string_view text, double* out);

  // The shape's geometry in its own coordinates; empty when it draws nothing. False with *error
  // when an attribute is malformed.
  bool geometry(pugi::xml_node node, const std::string& local, Geometry* out, std::string* error) const;

 private:
  double fontSize(pugi::xml_node node) const;

  const std::string& name_;
  const std::string& text_;
  double width_ = 100, height_ = 100;
};

// A length or coordinate: a number with an optional unit; `percentBase` is what 100% means and
// `em` the font size in force.
bool parseLength(std::string_view text, double percentBase, double* out, std::string* error, double em);

// The mapping of the viewBox (x, y, width, height) into a viewport of width x height at the
// origin, as `preserveAspectRatio` ("xMidYMid meet" when empty) asks.
Affine viewBoxTransform(const std::vector<double>& box, double width, double height,
                        std::string_view preserveAspectRatio);

}  // namespace simhost::svg

#endif
