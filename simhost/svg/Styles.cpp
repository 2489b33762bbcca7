// Style sheets and the cascade. A rule whose selector is beyond those Selectors.cpp reads
// matches nothing here, and at-rules are passed over.
#include "svg/Styles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <tuple>
#include <unordered_map>

namespace simhost::svg {
namespace {

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

std::vector<Declaration> parseDeclarations(std::string_view text) {
  std::vector<Declaration> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = scanTo(text, i, ";");
    const std::string_view part = text.substr(i, end - i);
    i = end + 1;
    const std::size_t colon = part.find(':');
    if (colon == std::string_view::npos) continue;
    std::string property = lowerCase(trimCss(part.substr(0, colon)));
    std::string_view value = trimCss(part.substr(colon + 1));
    bool important = false;
    if (const std::size_t bang = value.rfind('!'); bang != std::string_view::npos &&
                                                   lowerCase(trimCss(value.substr(bang + 1))) == "important") {
      important = true;
      value = trimCss(value.substr(0, bang));
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
      while (i < s.size() && isCssSpace(s[i])) ++i;
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
        if (std::optional<Selector> sel = parseSelector(selectors.substr(k, comma - k)))
          rules.push_back({std::move(*sel), declarations});
        k = comma + 1;
      }
    }
  }

  std::vector<std::size_t> match(const StyleFrame& f) const {
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < rules.size(); ++k)
      if (matches(rules[k].selector, f)) out.push_back(k);
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
        const std::string_view v = trimCss(a.value());
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
    if (localNameOf(n.name()) == "style") {
      const std::string type = lowerCase(trimCss(n.attribute("type").value()));
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
                     element.name == localNameOf(element.node.name());
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
  const std::string_view kept = trimCss(style);
  if (!kept.empty() && kept.back() != ';') {
    while (!out.empty() && isCssSpace(out.back())) out.pop_back();
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
