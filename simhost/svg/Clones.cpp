// Clones written back. A clone (<use>) whose shapes did not change, and whose original did not
// change either, is written as it was. Any other is expanded the way SVG defines a clone: a <g>
// with the <use>'s attributes (but its reference, position and size) and its transform followed
// by the translation to its position, holding a copy of the element it refers to (a <symbol> as
// an <svg> of the clone's size). The copy is the original's text as it stands in the file, ids
// left out, with the clone's own shapes written anew, and with the declarations that keep every
// copied element looking as the original did where style rules chose it by its place.
#include <algorithm>

#include "svg/Writer.h"

namespace simhost::svg {
namespace {

bool isReference(const std::string& name) {
  return name == "href" || (name.size() > 5 && name.compare(name.size() - 5, 5, ":href") == 0);
}


// Namespace declarations in force at `from` (its ancestors' included) that are not at `at`:
// the copy of an element moved from one place to the other needs them.
std::string missingNamespaces(pugi::xml_node from, pugi::xml_node at) {
  std::vector<std::pair<std::string, std::string>> declared;  // nearest first
  for (pugi::xml_node n = from; n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      const std::string name = a.name();
      if (name != "xmlns" && name.rfind("xmlns:", 0) != 0) continue;
      if (std::none_of(declared.begin(), declared.end(), [&](const auto& d) { return d.first == name; }))
        declared.emplace_back(name, a.value());
    }
  }
  std::string out;
  for (const auto& [name, value] : declared) {
    std::string there;
    bool found = false;
    for (pugi::xml_node n = at; n && n.type() == pugi::node_element && !found; n = n.parent()) {
      if (pugi::xml_attribute a = n.attribute(name.c_str())) {
        there = a.value();
        found = true;
      }
    }
    if (!found && name == "xmlns" && value.empty()) continue;
    if (!found || there != value) {
      out += " " + name + "=\"";
      for (char c : value) out += c == '"' ? std::string("&quot;") : c == '&' ? std::string("&amp;") : std::string(1, c);
      out += "\"";
    }
  }
  return out;
}

}  // namespace

bool Writer::dirty(std::size_t k) {
  int& state = dirty_[k];
  if (state == 0 || state == 1) return state == 1;
  if (state == 2) return false;  // a clone whose original holds it again shows nothing
  state = 2;
  const Instance& instance = d_.instances[k];
  bool result = std::any_of(instance.shapes.begin(), instance.shapes.end(),
                            [&](std::size_t s) { return changed_[s] != 0; });
  if (!result) {
    // The original as the document writes it: its own shapes, or clones inside it, changed.
    const std::size_t begin = tagOffset(instance.target), end = elementEnd(d_.source, instance.target);
    const auto shape = std::lower_bound(changedOffsets_.begin(), changedOffsets_.end(), begin);
    result = shape != changedOffsets_.end() && *shape < end;
    for (auto use = std::lower_bound(uses_.begin(), uses_.end(), std::make_pair(begin, std::size_t{0}));
         !result && use != uses_.end() && use->first < end; ++use) {
      result = dirty(use->second);
    }
  }
  dirty_[k] = result ? 1 : 0;
  return result;
}

std::string Writer::expansion(std::size_t k, const StyleFrame& useFrame) {
  const Instance& instance = d_.instances[k];
  const std::string& s = d_.source;
  const pugi::xml_node use = instance.use, target = instance.target;
  const std::string prefix(prefixOf(use.name()));
  const std::string g = prefix.empty() ? "g" : prefix + ":g";
  const std::string svg = prefix.empty() ? "svg" : prefix + ":svg";

  StyleFrame group = useFrame;
  group.name = "g";
  const StartTag useTag = readStartTag(s, tagOffset(use) + 1);
  std::string transform;
  std::string out = "<" + g;
  const auto attributes = [&](const StartTag& tag, const StyleFrame& frame, auto skip) {
    const std::string look = d_.styles->keepLook(frame);
    bool styled = false;
    for (const Attribute& a : tag.attributes) {
      if (skip(a.name) || (frame.withoutId && a.name == "id")) continue;
      if (a.name == "style" && !look.empty()) {
        const char quote = s[a.valueBegin - 1];
        out += s.substr(a.spaceBegin, a.valueBegin - a.spaceBegin) +
               addToStyle(std::string_view(s).substr(a.valueBegin, a.valueEnd - a.valueBegin), look, quote) + quote;
        styled = true;
        continue;
      }
      out += s.substr(a.spaceBegin, a.valueEnd + 1 - a.spaceBegin);
    }
    if (!styled && !look.empty()) out += " style=\"" + addToStyle("", look, '"') + "\"";
  };
  attributes(useTag, group, [&](const std::string& name) {
    return isReference(name) || name == "x" || name == "y" || name == "width" || name == "height" ||
           name == "transform";
  });
  if (pugi::xml_attribute t = use.attribute("transform")) transform = t.value();
  if (instance.x != 0 || instance.y != 0)
    transform += (transform.empty() ? "" : " ") + std::string("translate(") + formatNumber(instance.x) + " " + formatNumber(instance.y) + ")";
  if (!transform.empty()) {
    std::string escaped;
    for (char c : transform) escaped += c == '"' ? std::string("&quot;") : c == '&' ? std::string("&amp;") : std::string(1, c);
    out += " transform=\"" + escaped + "\"";
  }
  out += missingNamespaces(target.parent(), use) + ">";

  const std::size_t begin = tagOffset(target), end = elementEnd(s, target);
  const std::string local = svgLocalName(target);
  StyleFrame top = StyleFrame::at(target);
  top.parent = &group;
  top.withoutId = true;
  top.alone = true;
  if (local == "symbol") {
    // The symbol as an <svg> of the clone's size, its children copied.
    top.name = "svg";
    const StartTag tag = readStartTag(s, begin + 1);
    out += "<" + svg;
    attributes(tag, top, [](const std::string& name) {
      return name == "x" || name == "y" || name == "width" || name == "height" || name == "refX" || name == "refY";
    });
    for (const char* size : {"width", "height"}) {
      pugi::xml_attribute a = use.attribute(size);
      if (!a) a = target.attribute(size);
      std::string value = a ? a.value() : "100%";
      out += std::string(" ") + size + "=\"" + value + "\"";
    }
    out += ">" + copyOf(target, tag.end, tag.selfClosing ? tag.end : s.rfind("</", end - 1), static_cast<int>(k), top, true);
    out += "</" + svg + ">";
  } else {
    std::string copy = copyOf(target, begin, end, static_cast<int>(k), top, false);
    if (local == "svg" && (use.attribute("width") || use.attribute("height"))) {
      // The clone's size wins over the <svg>'s own: set on the copy's start tag.
      const StartTag tag = readStartTag(copy, 1);
      std::vector<Splice> sizes;
      for (const char* size : {"width", "height"}) {
        const pugi::xml_attribute given = use.attribute(size);
        if (!given) continue;
        const auto it = std::find_if(tag.attributes.begin(), tag.attributes.end(), [&](const Attribute& a) { return a.name == size; });
        const std::string text = std::string(" ") + size + "=\"" + given.value() + "\"";
        if (it == tag.attributes.end()) sizes.push_back({tag.attributesEnd, tag.attributesEnd, text});
        else sizes.push_back({it->spaceBegin, it->valueEnd + 1, text});
      }
      copy = applySplices(copy, std::move(sizes));
    }
    out += copy;
  }
  out += "</" + g + ">";
  return out;
}

std::string Writer::copyOf(pugi::xml_node element, std::size_t begin, std::size_t end, int instance,
                           const StyleFrame& frame, bool childrenOnly) {
  std::vector<Splice> splices;
  if (childrenOnly) {
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element) continue;
      StyleFrame child = StyleFrame::at(c);
      child.parent = &frame;
      child.withoutId = true;
      copySplices(c, instance, child, &splices);
    }
  } else {
    copySplices(element, instance, frame, &splices);
  }
  for (Splice& sp : splices) {
    sp.begin -= begin;
    sp.end -= begin;
  }
  return applySplices(d_.source.substr(begin, end - begin), std::move(splices));
}

void Writer::copySplices(pugi::xml_node element, int instance, const StyleFrame& frame, std::vector<Splice>* out) {
  const std::string& s = d_.source;
  const auto nested = instanceAt_.find({element.internal_object(), instance});
  if (nested != instanceAt_.end() && (page_ || dirty(nested->second))) {
    out->push_back({tagOffset(element), elementEnd(s, element), expansion(nested->second, frame)});
    return;
  }
  const StartTag tag = readStartTag(s, tagOffset(element) + 1);
  for (const Attribute& a : tag.attributes)
    if (a.name == "id") out->push_back({a.spaceBegin, a.valueEnd + 1, ""});
  const auto shape = shapeAt_.find({element.internal_object(), instance});
  if (shape != shapeAt_.end() && rewritten(shape->second)) {
    shapeSplices(shape->second, frame, out);
  } else if (const std::string look = d_.styles->keepLook(frame); !look.empty()) {
    out->push_back(styleSplice(s, tag, look));
  }
  for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    StyleFrame child = StyleFrame::at(c);
    child.parent = &frame;
    child.withoutId = true;
    copySplices(c, instance, child, out);
  }
}

}  // namespace simhost::svg
