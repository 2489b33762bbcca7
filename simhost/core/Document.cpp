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

AIArtHandle Document::addArt(Art art) {
  if (art.segments.size() > kMaxSegments)
    throw std::length_error("a path holds at most 32767 segments");
  if (art.parent != 0) {
    auto parent = art_.find(art.parent);
    if (parent == art_.end() || parent->second.kind != kCompoundPathArt)
      throw std::invalid_argument("the parent of art must be a compound path of the document");
  }
  const std::uint64_t id = nextId_++;
  art_.emplace(id, std::move(art));
  return makeHandle<AIArtHandle>(HandleKind::Art, id);
}

bool Document::remove(AIArtHandle art) {
  const std::uint64_t id = handleId(HandleKind::Art, art);
  auto it = art_.find(id);
  if (it == art_.end()) return false;
  last_.id = 0;
  art_.erase(it);
  // The subpaths of a removed compound path go with it.
  std::erase_if(art_, [id](const auto& entry) { return entry.second.parent == id; });
  return true;
}

Art* Document::find(AIArtHandle art) {
  return const_cast<Art*>(std::as_const(*this).find(art));
}

const Art* Document::find(AIArtHandle art) const {
  const std::uint64_t id = handleId(HandleKind::Art, art);
  if (id != 0 && id == last_.id) return &last_.at->second;
  auto it = const_cast<std::map<std::uint64_t, Art>&>(art_).find(id);
  if (it == art_.end()) return nullptr;
  last_.id = id;
  last_.at = it;
  return &it->second;
}

bool Document::valid(AIArtHandle art) const { return find(art) != nullptr; }

std::uint64_t Document::id(AIArtHandle art) { return handleId(HandleKind::Art, art); }

std::vector<AIArtHandle> Document::handles() const {
  std::vector<AIArtHandle> out;
  out.reserve(art_.size());
  for (const auto& entry : art_) out.push_back(makeHandle<AIArtHandle>(HandleKind::Art, entry.first));
  return out;
}

void Document::selectAll(bool selected) {
  for (auto& entry : art_) entry.second.selected = selected;
}

std::size_t Document::size() const { return art_.size(); }

void Document::clear() {
  last_.id = 0;
  art_.clear();
}  // ids keep counting: old handles stay dead

namespace {

// Rounds to the nearest pixel, saturating at the limits of the platform's view coordinate.
template <class T>
T toPixel(double value) {
  using L = std::numeric_limits<T>;
  if (std::isnan(value)) return 0;
  const double r = std::round(value);
  if (r <= static_cast<double>(L::min())) return L::min();
  if (r >= static_cast<double>(L::max())) return L::max();
  return static_cast<T>(r);
}

}  // namespace

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
  p.h = toPixel<decltype(p.h)>(width * 0.5 + (static_cast<double>(artwork.h) - center.h) * zoom);
  p.v = toPixel<decltype(p.v)>(height * 0.5 - (static_cast<double>(artwork.v) - center.v) * zoom);
  return p;
}

AIRealPoint ViewState::toArtwork(AIPoint view) const {
  AIRealPoint a;
  a.h = static_cast<AIReal>(center.h + (view.h - width * 0.5) / zoom);
  a.v = static_cast<AIReal>(center.v - (view.v - height * 0.5) / zoom);
  return a;
}

}  // namespace simhost
