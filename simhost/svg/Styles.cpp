// Style sheets and the cascade. The selectors renderers take in drawings are read: type,
// universal, id, class and attribute selectors, :first-child, :last-child, :only-child, :root and
// :not() of those, joined by descendant, child and sibling combinators. A selector beyond them
// (other pseudo-classes, pseudo-elements, namespaces) matches nothing here, and at-rules are
// passed over.
#include "svg/Styles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <tuple>
#include <unordered_map>

namespace simhost::svg {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view localOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The end of a block or value part that starts at `i`: the first `stop` character outside
// quotes, parentheses and brackets, or the end.
std::size_t scanTo(std::string_view s, std::size_t i, std::string_view stops) {
  int depth = 0;
  char quote = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == '\\') ++i;
      else if (c == quote) quote = 0;
      continue;
    }
    if (depth == 0 && stops.find(c) != std::string_view::npos) return i;
    if (c == '"' || c == '\'') quote = c;
    else if (c == '(' || c == '[' || c == '{') ++depth;
    else if ((c == ')' || c == ']' || c == '}') && depth > 0) --depth;
  }
  return s.size();
}

// ---- Selectors ----

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

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

class SelectorParser {
 public:
  explicit SelectorParser(std::string_view s) : s_(s) {}

  std::optional<Selector> parse() {
    Selector sel;
    std::vector<Compound> parts;
    std::vector<char> combinators;
    skipSpace();
    while (true) {
      Compound c;
      if (!compound(&c, &sel.specificity)) return std::nullopt;
      parts.push_back(std::move(c));
      const bool spaced = skipSpace();
      if (i_ >= s_.size()) break;
      char comb = ' ';
      if (s_[i_] == '>' || s_[i_] == '+' || s_[i_] == '~') {
        comb = s_[i_++];
        skipSpace();
      } else if (!spaced) {
        return std::nullopt;
      }
      combinators.push_back(comb);
    }
    sel.parts.assign(parts.rbegin(), parts.rend());
    sel.combinators.assign(combinators.rbegin(), combinators.rend());
    return sel;
  }

 private:
  bool skipSpace() {
    const std::size_t from = i_;
    while (i_ < s_.size() && isSpace(s_[i_])) ++i_;
    return i_ > from;
  }
  std::string name() {
    const std::size_t from = i_;
    while (i_ < s_.size() && isNameChar(s_[i_])) ++i_;
    return std::string(s_.substr(from, i_ - from));
  }

  bool compound(Compound* c, int* specificity) {
    bool any = false;
    if (i_ < s_.size() && s_[i_] == '*') {
      ++i_;
      c->type.assign(1, '*');
      any = true;
    } else if (i_ < s_.size() && isNameChar(s_[i_])) {
      c->type = name();
      *specificity += 1;
      any = true;
    }
    while (i_ < s_.size()) {
      const char ch = s_[i_];
      if (ch == '#' || ch == '.') {
        ++i_;
        std::string n = name();
        if (n.empty()) return false;
        (ch == '#' ? c->ids : c->classes).push_back(std::move(n));
        *specificity += ch == '#' ? 10000 : 100;
      } else if (ch == '[') {
        ++i_;
        AttributeTest a;
        skipSpace();
        a.name = name();
        skipSpace();
        if (a.name.empty() || i_ >= s_.size()) return false;
        if (s_[i_] != ']') {
          if (s_[i_] != '=') {
            a.op = s_[i_++];
            if (std::string_view("~|^$*").find(a.op) == std::string_view::npos || i_ >= s_.size() || s_[i_] != '=')
              return false;
          } else {
            a.op = '=';
          }
          ++i_;
          skipSpace();
          if (i_ < s_.size() && (s_[i_] == '"' || s_[i_] == '\'')) {
            const char q = s_[i_++];
            const std::size_t end = s_.find(q, i_);
            if (end == std::string_view::npos) return false;
            a.value = std::string(s_.substr(i_, end - i_));
            i_ = end + 1;
          } else {
            a.value = name();
          }
          skipSpace();
          if (i_ < s_.size() && (s_[i_] == 'i' || s_[i_] == 'I')) {
            a.ignoreCase = true;
            ++i_;
            skipSpace();
          }
        }
        if (i_ >= s_.size() || s_[i_] != ']') return false;
        ++i_;
        c->attributes.push_back(std::move(a));
        *specificity += 100;
      } else if (ch == ':') {
        ++i_;
        if (i_ < s_.size() && s_[i_] == ':') return false;  // a pseudo-element
        const std::string n = lower(name());
        if (n == "not" && i_ < s_.size() && s_[i_] == '(') {
          const std::size_t close = s_.find(')', i_);
          if (close == std::string_view::npos) return false;
          SelectorParser inner(trim(s_.substr(i_ + 1, close - i_ - 1)));
          Compound neg;
          int spec = 0;
          if (!inner.compound(&neg, &spec) || inner.i_ != inner.s_.size()) return false;
          c->nots.push_back(std::move(neg));
          *specificity += spec;
          i_ = close + 1;
        } else if (n == "first-child") {
          c->pseudos.push_back(Compound::Pseudo::FirstChild);
          *specificity += 100;
        } else if (n == "last-child") {
          c->pseudos.push_back(Compound::Pseudo::LastChild);
          *specificity += 100;
        } else if (n == "only-child") {
          c->pseudos.push_back(Compound::Pseudo::OnlyChild);
          *specificity += 100;
        } else if (n == "root") {
          c->pseudos.push_back(Compound::Pseudo::Root);
          *specificity += 100;
        } else {
          return false;
        }
      } else {
        break;
      }
      any = true;
    }
    return any;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// ---- Frames: the output tree as selectors walk it ----

std::optional<StyleFrame> parentOf(const StyleFrame& f) {
  if (f.parent != nullptr) return *f.parent;
  const pugi::xml_node p = f.node.parent();
  if (!p || p.type() != pugi::node_element) return std::nullopt;
  return StyleFrame::at(p);
}

pugi::xml_node elementSibling(pugi::xml_node n, bool previous) {
  for (n = previous ? n.previous_sibling() : n.next_sibling(); n;
       n = previous ? n.previous_sibling() : n.next_sibling()) {
    if (n.type() == pugi::node_element) return n;
  }
  return {};
}

std::optional<StyleFrame> siblingOf(const StyleFrame& f, bool previous) {
  if (f.alone) return std::nullopt;
  const pugi::xml_node n = elementSibling(f.node, previous);
  if (!n) return std::nullopt;
  StyleFrame s = StyleFrame::at(n);
  s.parent = f.parent;
  s.withoutId = f.withoutId;
  return s;
}

const std::vector<std::string>& geometryAttributesOf(std::string_view local) {
  static const std::map<std::string, std::vector<std::string>, std::less<>> table = {
      {"path", {"d"}},
      {"rect", {"x", "y", "width", "height", "rx", "ry"}},
      {"circle", {"cx", "cy", "r"}},
      {"ellipse", {"cx", "cy", "rx", "ry"}},
      {"line", {"x1", "y1", "x2", "y2"}},
      {"polyline", {"points"}},
      {"polygon", {"points"}},
  };
  static const std::vector<std::string> none;
  const auto it = table.find(local);
  return it == table.end() ? none : it->second;
}

std::optional<std::string_view> attributeOf(const StyleFrame& f, std::string_view name) {
  if (f.withoutId && name == "id") return std::nullopt;
  if (f.rewritten) {
    const auto& geometry = geometryAttributesOf(localOf(f.node.name()));
    if (std::find(geometry.begin(), geometry.end(), name) != geometry.end()) return std::nullopt;
  }
  for (pugi::xml_attribute a = f.node.first_attribute(); a; a = a.next_attribute()) {
    if (name == a.name()) return std::string_view(a.value());
  }
  return std::nullopt;
}

bool hasWord(std::string_view list, std::string_view word) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && isSpace(list[i])) ++i;
    const std::size_t from = i;
    while (i < list.size() && !isSpace(list[i])) ++i;
    if (i > from && list.substr(from, i - from) == word) return true;
  }
  return false;
}

bool attributeMatches(const AttributeTest& t, std::string_view value) {
  std::string v(value), w(t.value);
  if (t.ignoreCase) {
    v = lower(v);
    w = lower(w);
  }
  switch (t.op) {
    case 0: return true;
    case '=': return v == w;
    case '~': return !w.empty() && hasWord(v, w);
    case '|': return v == w || (v.size() > w.size() && v.compare(0, w.size(), w) == 0 && v[w.size()] == '-');
    case '^': return !w.empty() && v.compare(0, w.size(), w) == 0;
    case '$': return !w.empty() && v.size() >= w.size() && v.compare(v.size() - w.size(), w.size(), w) == 0;
    case '*': return !w.empty() && v.find(w) != std::string::npos;
  }
  return false;
}

bool compoundMatches(const Compound& c, const StyleFrame& f) {
  if (!c.type.empty() && c.type != "*" && c.type != f.name) return false;
  if (!c.ids.empty()) {
    const auto id = attributeOf(f, "id");
    for (const std::string& want : c.ids)
      if (!id || *id != want) return false;
  }
  if (!c.classes.empty()) {
    const auto cls = attributeOf(f, "class");
    for (const std::string& want : c.classes)
      if (!cls || !hasWord(*cls, want)) return false;
  }
  for (const AttributeTest& t : c.attributes) {
    const auto v = attributeOf(f, t.name);
    if (!v || !attributeMatches(t, *v)) return false;
  }
  for (Compound::Pseudo p : c.pseudos) {
    const bool first = !siblingOf(f, true), last = !siblingOf(f, false);
    switch (p) {
      case Compound::Pseudo::FirstChild: if (!first) return false; break;
      case Compound::Pseudo::LastChild: if (!last) return false; break;
      case Compound::Pseudo::OnlyChild: if (!first || !last) return false; break;
      case Compound::Pseudo::Root: if (parentOf(f)) return false; break;
    }
  }
  for (const Compound& n : c.nots)
    if (compoundMatches(n, f)) return false;
  return true;
}

bool matchesFrom(const Selector& s, std::size_t k, const StyleFrame& f) {
  if (!compoundMatches(s.parts[k], f)) return false;
  if (k + 1 == s.parts.size()) return true;
  const char comb = s.combinators[k];
  if (comb == '>' || comb == ' ') {
    for (std::optional<StyleFrame> p = parentOf(f); p; p = parentOf(*p)) {
      if (matchesFrom(s, k + 1, *p)) return true;
      if (comb == '>') return false;
    }
    return false;
  }
  for (std::optional<StyleFrame> p = siblingOf(f, true); p; p = siblingOf(*p, true)) {
    if (matchesFrom(s, k + 1, *p)) return true;
    if (comb == '+') return false;
  }
  return false;
}

struct Rule {
  Selector selector;
  std::vector<Declaration> declarations;
};

const std::set<std::string, std::less<>>& presentationAttributes() {
  static const std::set<std::string, std::less<>> names = {
      "alignment-baseline", "baseline-shift", "clip", "clip-path", "clip-rule", "color",
      "color-interpolation", "color-interpolation-filters", "color-rendering", "cursor",
      "direction", "display", "dominant-baseline", "fill", "fill-opacity", "fill-rule", "filter",
      "flood-color", "flood-opacity", "font-family", "font-size", "font-size-adjust",
      "font-stretch", "font-style", "font-variant", "font-weight", "image-rendering",
      "letter-spacing", "lighting-color", "marker-end", "marker-mid", "marker-start", "mask",
      "mix-blend-mode", "opacity", "overflow", "paint-order", "pointer-events", "shape-rendering",
      "stop-color", "stop-opacity", "stroke", "stroke-dasharray", "stroke-dashoffset",
      "stroke-linecap", "stroke-linejoin", "stroke-miterlimit", "stroke-opacity", "stroke-width",
      "text-anchor", "text-decoration", "text-rendering", "unicode-bidi", "vector-effect",
      "visibility", "word-spacing", "writing-mode"};
  return names;
}

// The cascade's winner among the declarations of one property.
struct Winner {
  std::optional<std::string> value;
  bool important = false;
  int level = -1;  // 0 presentation attribute, 1 style sheet, 2 style attribute
  int specificity = 0;
  std::size_t order = 0;

  void offer(const std::string& v, bool imp, int lvl, int spec, std::size_t ord) {
    const auto key = [](bool i, int l, int s, std::size_t o) { return std::make_tuple(i, l, s, o); };
    if (value && key(imp, lvl, spec, ord) < key(important, level, specificity, order)) return;
    value = v;
    important = imp;
    level = lvl;
    specificity = spec;
    order = ord;
  }
};

}  // namespace

StyleFrame StyleFrame::at(pugi::xml_node node) {
  StyleFrame f;
  f.node = node;
  f.name = localOf(node.name());
  return f;
}

std::vector<Declaration> parseDeclarations(std::string_view text) {
  std::vector<Declaration> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = scanTo(text, i, ";");
    const std::string_view part = text.substr(i, end - i);
    i = end + 1;
    const std::size_t colon = part.find(':');
    if (colon == std::string_view::npos) continue;
    std::string property = lower(trim(part.substr(0, colon)));
    std::string_view value = trim(part.substr(colon + 1));
    bool important = false;
    if (const std::size_t bang = value.rfind('!'); bang != std::string_view::npos &&
                                                   lower(trim(value.substr(bang + 1))) == "important") {
      important = true;
      value = trim(value.substr(0, bang));
    }
    if (property.empty() || value.empty()) continue;
    if (property == "marker") {
      for (const char* longhand : {"marker-start", "marker-mid", "marker-end"})
        out.push_back({longhand, std::string(value), important});
    } else {
      out.push_back({std::move(property), std::string(value), important});
    }
  }
  return out;
}

struct Styles::Impl {
  std::vector<Rule> rules;
  mutable std::unordered_map<const void*, std::vector<std::size_t>> matched;  // by source node
  mutable std::unordered_map<const void*, std::vector<Declaration>> inline_;

  void parseSheet(std::string_view css) {
    std::string text;
    // Comments, and the markup comment delimiters that sheets may hide in, go.
    for (std::size_t i = 0; i < css.size();) {
      if (css.compare(i, 2, "/*") == 0) {
        const std::size_t end = css.find("*/", i + 2);
        i = end == std::string_view::npos ? css.size() : end + 2;
        text += ' ';
      } else if (css.compare(i, 4, "<!--") == 0) {
        i += 4;
      } else if (css.compare(i, 3, "-->") == 0) {
        i += 3;
      } else {
        text += css[i++];
      }
    }
    std::string_view s = text;
    std::size_t i = 0;
    while (i < s.size()) {
      while (i < s.size() && isSpace(s[i])) ++i;
      if (i >= s.size()) break;
      if (s[i] == '@') {
        const std::size_t end = scanTo(s, i, ";{");
        if (end < s.size() && s[end] == '{') {
          const std::size_t close = scanTo(s, end + 1, "}");
          i = close + 1;
        } else {
          i = end + 1;
        }
        continue;
      }
      const std::size_t open = scanTo(s, i, "{");
      if (open >= s.size()) break;
      const std::size_t close = scanTo(s, open + 1, "}");
      const std::string_view selectors = s.substr(i, open - i);
      const std::vector<Declaration> declarations = parseDeclarations(s.substr(open + 1, close - open - 1));
      i = close + 1;
      for (std::size_t k = 0; k <= selectors.size();) {
        const std::size_t comma = scanTo(selectors, k, ",");
        SelectorParser parser(trim(selectors.substr(k, comma - k)));
        if (std::optional<Selector> sel = parser.parse()) rules.push_back({std::move(*sel), declarations});
        k = comma + 1;
      }
    }
  }

  std::vector<std::size_t> match(const StyleFrame& f) const {
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < rules.size(); ++k)
      if (matchesFrom(rules[k].selector, 0, f)) out.push_back(k);
    return out;
  }

  const std::vector<std::size_t>& matchedAt(pugi::xml_node node) const {
    auto it = matched.find(node.internal_object());
    if (it == matched.end()) it = matched.emplace(node.internal_object(), match(StyleFrame::at(node))).first;
    return it->second;
  }

  const std::vector<Declaration>& inlineOf(pugi::xml_node node) const {
    auto it = inline_.find(node.internal_object());
    if (it == inline_.end()) it = inline_.emplace(node.internal_object(), parseDeclarations(node.attribute("style").value())).first;
    return it->second;
  }

  Winner winner(pugi::xml_node node, const std::vector<std::size_t>& rulesMatched, std::string_view property) const {
    Winner w;
    if (presentationAttributes().count(property) != 0) {
      if (pugi::xml_attribute a = node.attribute(std::string(property).c_str())) {
        const std::string_view v = trim(a.value());
        if (!v.empty()) w.offer(std::string(v), false, 0, 0, 0);
      }
    }
    for (std::size_t r : rulesMatched) {
      const Rule& rule = rules[r];
      for (const Declaration& d : rule.declarations) {
        if (d.property == property) w.offer(d.value, d.important, 1, rule.selector.specificity, r);
      }
    }
    std::size_t order = 0;
    for (const Declaration& d : inlineOf(node)) {
      if (d.property == property) w.offer(d.value, d.important, 2, 0, order);
      ++order;
    }
    return w;
  }
};

Styles::Styles(const pugi::xml_document& xml) : impl_(std::make_unique<Impl>()) {
  std::vector<pugi::xml_node> stack = {xml.document_element()};
  while (!stack.empty()) {
    const pugi::xml_node n = stack.back();
    stack.pop_back();
    if (!n) continue;
    if (localOf(n.name()) == "style") {
      const std::string type = lower(trim(n.attribute("type").value()));
      if (type.empty() || type == "text/css") {
        std::string css;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
          if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) css += c.value();
        impl_->parseSheet(css);
      }
      continue;
    }
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element) children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
}

Styles::~Styles() = default;

bool Styles::hasRules() const { return !impl_->rules.empty(); }

std::optional<std::string> Styles::declared(const StyleFrame& element, std::string_view property) const {
  static const std::vector<std::size_t> none;
  const bool plain = element.parent == nullptr && !element.withoutId && !element.alone && !element.rewritten &&
                     element.name == localOf(element.node.name());
  const std::vector<std::size_t> matched = impl_->rules.empty() ? none
                                           : plain              ? impl_->matchedAt(element.node)
                                                                : impl_->match(element);
  return impl_->winner(element.node, matched, property).value;
}

std::string Styles::computed(pugi::xml_node element, const std::vector<pugi::xml_node>& parents,
                             std::string_view property) const {
  const bool inherits = inherited(property);
  std::size_t k = 0;
  for (pugi::xml_node n = element; n && n.type() == pugi::node_element;) {
    std::optional<std::string> v = declared(StyleFrame::at(n), property);
    if (v && *v != "inherit" && !(*v == "unset" && inherits)) return *v == "initial" || *v == "unset" ? initialValue(property) : *v;
    if (!v && !inherits) break;
    n = parents.empty() ? n.parent() : k < parents.size() ? parents[k++] : pugi::xml_node();
  }
  return initialValue(property);
}

std::string Styles::keepLook(const StyleFrame& after) const {
  if (impl_->rules.empty()) return {};
  const std::vector<std::size_t>& before = impl_->matchedAt(after.node);
  const std::vector<std::size_t> now = impl_->match(after);
  if (before == now) return {};
  std::set<std::string> properties;
  for (const auto* list : {&before, &now})
    for (std::size_t r : *list)
      for (const Declaration& d : impl_->rules[r].declarations) properties.insert(d.property);
  std::string out;
  for (const std::string& p : properties) {
    const Winner was = impl_->winner(after.node, before, p);
    const Winner is = impl_->winner(after.node, now, p);
    if (was.value == is.value) continue;
    const std::string value = was.value ? *was.value : inherited(p) ? std::string("inherit") : initialValue(p);
    out += p + ":" + value + (is.important ? " !important" : "") + ";";
  }
  if (!out.empty()) out.pop_back();
  return out;
}

bool Styles::inherited(std::string_view property) {
  static const std::set<std::string, std::less<>> notInherited = {
      "alignment-baseline", "baseline-shift", "clip", "clip-path", "display", "dominant-baseline",
      "filter", "flood-color", "flood-opacity", "lighting-color", "mask", "mix-blend-mode",
      "isolation", "opacity", "overflow", "stop-color", "stop-opacity", "text-decoration",
      "transform", "transform-origin", "unicode-bidi", "vector-effect", "x", "y", "width",
      "height", "r", "rx", "ry", "cx", "cy", "d", "background", "background-color"};
  return notInherited.count(property) == 0;
}

std::string Styles::initialValue(std::string_view property) {
  static const std::map<std::string, std::string, std::less<>> values = {
      {"fill", "black"}, {"stroke", "none"}, {"stroke-width", "1"}, {"opacity", "1"},
      {"fill-opacity", "1"}, {"stroke-opacity", "1"}, {"marker-start", "none"},
      {"marker-mid", "none"}, {"marker-end", "none"}, {"display", "inline"},
      {"visibility", "visible"}, {"clip-path", "none"}, {"mask", "none"}, {"filter", "none"},
      {"overflow", "visible"}, {"stop-color", "black"}, {"stop-opacity", "1"},
      {"flood-color", "black"}, {"flood-opacity", "1"}, {"lighting-color", "white"},
      {"transform", "none"}, {"mix-blend-mode", "normal"}, {"isolation", "auto"},
      {"vector-effect", "none"}, {"text-decoration", "none"}, {"paint-order", "normal"}};
  const auto it = values.find(property);
  return it == values.end() ? std::string("initial") : it->second;
}

std::string addToStyle(std::string_view style, std::string_view declarations, char quote) {
  std::string out(style);
  const std::string_view kept = trim(style);
  if (!kept.empty() && kept.back() != ';') {
    while (!out.empty() && isSpace(out.back())) out.pop_back();
    out += ';';
  }
  for (char c : declarations) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == quote) out += quote == '"' ? "&quot;" : "&apos;";
    else out += c;
  }
  return out;
}

}  // namespace simhost::svg
