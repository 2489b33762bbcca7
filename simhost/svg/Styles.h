// The styles of a drawing as renderers cascade them: the rules of its <style> sheets, the
// presentation attributes and the style attributes. The importer asks for values (is a shape
// hidden, which markers does it carry); the exporter asks which declarations keep an element
// looking as it did when it is written under another name or in another place (a shape written
// as a <path>, the shapes of an expanded clone), since rules select elements by name, id,
// class, attributes and the elements around them.
#ifndef SARVELLO_SIMHOST_SVG_STYLES_H
#define SARVELLO_SIMHOST_SVG_STYLES_H

#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "svg/Selectors.h"

namespace simhost::svg {

struct Declaration {
  std::string property;  // lower case; the shorthand "marker" is given as its three longhands
  std::string value;
  bool important = false;
};

// Declarations of a style attribute or a rule's block. Shorthands other than "marker" stay as
// they are written.
std::vector<Declaration> parseDeclarations(std::string_view text);

class Styles {
 public:
  explicit Styles(const pugi::xml_document& xml);
  ~Styles();
  Styles(const Styles&) = delete;
  Styles& operator=(const Styles&) = delete;

  // Whether the drawing has style rules (most have none, and then only attributes count).
  bool hasRules() const;

  // The value the cascade gives the element for `property` (its own, not inherited), or none.
  std::optional<std::string> declared(const StyleFrame& element, std::string_view property) const;

  // The element's computed value with inheritance: its own value, else its parent's in
  // `parents` (the elements it inherits from, nearest first; the source's parents when empty and
  // the property inherits), else the initial value.
  std::string computed(pugi::xml_node element, const std::vector<pugi::xml_node>& parents,
                       std::string_view property) const;

  // The declarations (as "name:value;..." for a style attribute) that give the element written
  // at `after` every value the cascade gave it at its place in the source. Empty when nothing
  // differs.
  std::string keepLook(const StyleFrame& after) const;

  static bool inherited(std::string_view property);
  static std::string initialValue(std::string_view property);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A style attribute's value with `declarations` added after its own (they win over it); the
// text is escaped for an attribute quoted with `quote`.
std::string addToStyle(std::string_view style, std::string_view declarations, char quote);

}  // namespace simhost::svg

#endif
