// Selectors of style sheets, and the elements they are matched against: an element of the
// source as it stands in the output, which may differ from where it stands in the source (a
// shape written as a <path>, a copy inside an expanded clone).
#ifndef SARVELLO_SIMHOST_SVG_SELECTORS_H
#define SARVELLO_SIMHOST_SVG_SELECTORS_H

#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace simhost::svg {

// An element as style rules see it: an element of the source as it stands in the output, under
// the name it has there, with the parent and siblings it has there.
struct StyleFrame {
  pugi::xml_node node;
  std::string_view name;               // its local name there ("path" for a rewritten <line>)
  const StyleFrame* parent = nullptr;  // none: the node's parent in the source
  bool withoutId = false;              // written without its id (a copy inside a clone's expansion)
  bool alone = false;                  // without siblings (the top of an expansion)
  // Written as a <path>: the geometry attributes of its element (x1, cx, points, ...) are gone.
  bool rewritten = false;

  // The element where it stands in the source.
  static StyleFrame at(pugi::xml_node node);
};

struct AttributeTest {
  std::string name;
  char op = 0;  // 0: present; '=', '~', '|', '^', '$', '*'
  std::string value;
  bool ignoreCase = false;
};

struct Compound {
  std::string type;  // empty or "*": any
  std::vector<std::string> ids;
  std::vector<std::string> classes;
  std::vector<AttributeTest> attributes;
  enum class Pseudo { FirstChild, LastChild, OnlyChild, Root };
  std::vector<Pseudo> pseudos;
  std::vector<Compound> nots;
};

struct Selector {
  // Right to left: parts[0] is the subject; combinators[k] joins parts[k] to parts[k + 1]
  // (' ' descendant, '>' child, '+' next sibling, '~' later sibling).
  std::vector<Compound> parts;
  std::vector<char> combinators;
  int specificity = 0;
};

// Whitespace, case and names as style sheets take them.
bool isCssSpace(char c);
std::string_view trimCss(std::string_view s);
std::string lowerCase(std::string_view s);
std::string_view localNameOf(std::string_view qualified);  // "svg:path" -> "path"

// The attributes that give a basic shape its geometry ("cx", "cy", "r" of a circle); they give
// way to "d" when the shape is written as a path. None for another element.
const std::vector<std::string>& geometryAttributesOf(std::string_view local);

// A selector of a rule ("g > .c", "#d circle"); none when it is beyond those read.
std::optional<Selector> parseSelector(std::string_view text);
bool matches(const Selector& selector, const StyleFrame& element);

}  // namespace simhost::svg

#endif
