// The host's document of art, and the document window's mapping of coordinates.
#include "core/Document.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/Handles.h"

namespace simhost {

AIArtHandle Document::addPath(std::vector<AIPathSegment> segments, bool closed, bool selected) {
  Art art;
  art.kind = kPathArt;
  art.segments = std::move(segments);
  art.closed = closed;
  art.selected = selected;
  return addArt(std::move(art));
}

std::optional<Art>* Document::slot(std::uint64_t id) {
  if (id < firstId_ || id - firstId_ >= slots_.size()) return nullptr;
  std::optional<Art>* s = &slots_[id - firstId_];
  return s->has_value() ? s : nullptr;
}

const std::optional<Art>* Document::slot(std::uint64_t id) const {
  return const_cast<Document*>(this)->slot(id);
}

AIArtHandle Document::addArt(Art art) {
  if (art.segments.size() > kMaxSegments)
    throw std::length_error("a path holds at most 32767 segments");
  if (art.parent != 0) {
    const std::optional<Art>* parent = slot(art.parent);
    if (parent == nullptr || (*parent)->kind != kCompoundPathArt)
      throw std::invalid_argument("the parent of art must be a compound path of the document");
  }
  const std::uint64_t id = nextId_;
  art.revision = ++revision_;
  slots_.resize(id - firstId_ + 1);
  slots_.back() = std::move(art);
  ++nextId_;
  ++count_;
  return makeHandle<AIArtHandle>(HandleKind::Art, id);
}

bool Document::remove(AIArtHandle art) {
  const std::uint64_t id = handleId(HandleKind::Art, art);
  std::optional<Art>* s = slot(id);
  if (s == nullptr) return false;
  s->reset();
  --count_;
  ++revision_;
  // The subpaths of a removed compound path go with it.
  for (std::optional<Art>& other : slots_) {
    if (other && other->parent == id) {
      other.reset();
      --count_;
    }
  }
  return true;
}

Art* Document::find(AIArtHandle art) {
  std::optional<Art>* s = slot(handleId(HandleKind::Art, art));
  return s != nullptr ? &**s : nullptr;
}

const Art* Document::find(AIArtHandle art) const {
  const std::optional<Art>* s = slot(handleId(HandleKind::Art, art));
  return s != nullptr ? &**s : nullptr;
}

bool Document::valid(AIArtHandle art) const { return find(art) != nullptr; }

std::uint64_t Document::id(AIArtHandle art) { return handleId(HandleKind::Art, art); }

std::vector<AIArtHandle> Document::handles() const {
  std::vector<AIArtHandle> out;
  out.reserve(count_);
  for (std::size_t k = 0; k < slots_.size(); ++k)
    if (slots_[k]) out.push_back(makeHandle<AIArtHandle>(HandleKind::Art, firstId_ + k));
  return out;
}

void Document::selectAll(bool selected) {
  for (std::optional<Art>& art : slots_)
    if (art) art->selected = selected;
}

std::size_t Document::size() const { return count_; }

// Ids keep counting: old handles stay dead.
void Document::clear() {
  slots_.clear();
  firstId_ = nextId_;
  count_ = 0;
  ++revision_;
}


AIRealRect ViewState::bounds() const {
  const AIRealPoint topLeft = toArtwork(AIPoint{});
  AIPoint bottomRightView{};
  bottomRightView.h = static_cast<decltype(bottomRightView.h)>(width);
  bottomRightView.v = static_cast<decltype(bottomRightView.v)>(height);
  const AIRealPoint bottomRight = toArtwork(bottomRightView);
  AIRealRect r;
  r.left = topLeft.h;
  r.top = topLeft.v;
  r.right = bottomRight.h;
  r.bottom = bottomRight.v;
  return r;
}

AIPoint ViewState::toView(AIRealPoint artwork) const {
  AIPoint p{};
  p.h = toPixel(width * 0.5 + (static_cast<double>(artwork.h) - center.h) * zoom);
  p.v = toPixel(height * 0.5 - (static_cast<double>(artwork.v) - center.v) * zoom);
  return p;
}

AIRealPoint ViewState::toArtwork(AIPoint view) const {
  AIRealPoint a;
  a.h = static_cast<AIReal>(center.h + (view.h - width * 0.5) / zoom);
  a.v = static_cast<AIReal>(center.v - (view.v - height * 0.5) / zoom);
  return a;
}

}  // namespace simhost
