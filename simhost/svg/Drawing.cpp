// An imported drawing: what it knows of its file, and where its shapes are.
#include <optional>

#include "svg/DrawingImpl.h"

namespace simhost::svg {

Drawing::Drawing(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Drawing::~Drawing() = default;

const std::string& Drawing::name() const { return impl_->name; }
const std::string& Drawing::source() const {
  switch (impl_->encoding.output) {
    case Encoding::Output::Bytes: return impl_->encoding.bytes;
    case Encoding::Output::Utf8: return impl_->unchanged;
    case Encoding::Output::Text: break;
  }
  return impl_->source;
}
std::size_t Drawing::texts() const { return impl_->texts; }
std::size_t Drawing::images() const { return impl_->images; }
std::size_t Drawing::clones() const { return impl_->instances.size(); }
std::size_t Drawing::keptClones() const { return impl_->keptClones; }
const std::string& Drawing::encoding() const { return impl_->encoding.name; }
const Affine& Drawing::userToArtwork() const { return impl_->userToArtwork; }
const Affine& Drawing::artworkToUser() const { return impl_->artworkToUser; }
double Drawing::canvasX() const { return impl_->canvas[0]; }
double Drawing::canvasY() const { return impl_->canvas[1]; }
double Drawing::canvasWidth() const { return impl_->canvas[2]; }
double Drawing::canvasHeight() const { return impl_->canvas[3]; }
const std::vector<AIArtHandle>& Drawing::art() const { return impl_->art; }
std::size_t Drawing::shapeCount() const { return impl_->shapes.size(); }

Affine Drawing::userToView(const ViewState& view) const {
  // The inverse of ViewState::toArtwork, without rounding to pixels.
  const Affine artworkToView{view.zoom, 0, 0, -view.zoom,
                             view.width * 0.5 - view.center.h * view.zoom,
                             view.height * 0.5 + view.center.v * view.zoom};
  return artworkToView * impl_->userToArtwork;
}

std::vector<AIArtHandle> Drawing::paths() const {
  std::vector<AIArtHandle> out;
  for (const Shape& shape : impl_->shapes) out.insert(out.end(), shape.paths.begin(), shape.paths.end());
  return out;
}

std::string Drawing::elementWithId(const std::string& id) const {
  const pugi::xml_node node = impl_->xml.find_node([&](pugi::xml_node n) {
    return n.type() == pugi::node_element && id == n.attribute("id").value();
  });
  if (!node) return {};
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

bool Drawing::leftOut(const std::string& id) const {
  for (pugi::xml_node n : impl_->leftOut) {
    for (; n && n.type() == pugi::node_element; n = n.parent())
      if (id == n.attribute("id").value()) return true;
  }
  return false;
}

std::vector<AIArtHandle> Drawing::pathsWithId(const std::string& id) const {
  std::vector<AIArtHandle> out;
  for (const Shape& shape : impl_->shapes) {
    if (shape.ids.count(id) != 0) out.insert(out.end(), shape.paths.begin(), shape.paths.end());
  }
  return out;
}

// ---- Names and places ----

std::size_t tagOffset(pugi::xml_node node) {
  const std::ptrdiff_t offset = node.offset_debug();
  return offset > 0 ? static_cast<std::size_t>(offset) - 1 : 0;
}

std::string_view prefixOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
}

namespace {

std::string_view localOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The namespace that `prefix` (empty: the default namespace) has at `node`, or none.
std::optional<std::string> namespaceOf(pugi::xml_node node, std::string_view prefix) {
  const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return std::string(a.value());
  }
  return std::nullopt;
}

}  // namespace

std::string svgLocalName(pugi::xml_node node) {
  const std::string_view qualified = node.name();
  const std::string_view prefix = prefixOf(qualified);
  const std::optional<std::string> ns = namespaceOf(node, prefix);
  if (prefix.empty() ? (!ns || *ns == kSvgNamespace || ns->empty()) : (ns && *ns == kSvgNamespace)) {
    return std::string(localOf(qualified));
  }
  return {};
}

}  // namespace simhost::svg
