// Selectors of style sheets as renderers take them in drawings: type, universal, id, class and
// attribute selectors, :first-child, :last-child, :only-child, :root and :not() of those, joined
// by descendant, child and sibling combinators, matched against elements as they stand in the
// output (StyleFrame). A selector beyond them (other pseudo-classes, pseudo-elements,
// namespaces) is not read.
#include "svg/Selectors.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace simhost::svg {

bool isCssSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view trimCss(std::string_view s) {
  while (!s.empty() && isCssSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isCssSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string lowerCase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view localNameOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
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

namespace {

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
    while (i_ < s_.size() && isCssSpace(s_[i_])) ++i_;
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
        const std::string n = lowerCase(name());
        if (n == "not" && i_ < s_.size() && s_[i_] == '(') {
          const std::size_t close = s_.find(')', i_);
          if (close == std::string_view::npos) return false;
          SelectorParser inner(trimCss(s_.substr(i_ + 1, close - i_ - 1)));
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

std::optional<std::string_view> attributeOf(const StyleFrame& f, std::string_view name) {
  if (f.withoutId && name == "id") return std::nullopt;
  if (f.rewritten) {
    const auto& geometry = geometryAttributesOf(localNameOf(f.node.name()));
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
    while (i < list.size() && isCssSpace(list[i])) ++i;
    const std::size_t from = i;
    while (i < list.size() && !isCssSpace(list[i])) ++i;
    if (i > from && list.substr(from, i - from) == word) return true;
  }
  return false;
}

bool attributeMatches(const AttributeTest& t, std::string_view value) {
  std::string v(value), w(t.value);
  if (t.ignoreCase) {
    v = lowerCase(v);
    w = lowerCase(w);
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

}  // namespace

StyleFrame StyleFrame::at(pugi::xml_node node) {
  StyleFrame f;
  f.node = node;
  f.name = localNameOf(node.name());
  return f;
}

std::optional<Selector> parseSelector(std::string_view text) { return SelectorParser(trimCss(text)).parse(); }

bool matches(const Selector& selector, const StyleFrame& element) { return matchesFrom(selector, 0, element); }

}  // namespace simhost::svg
