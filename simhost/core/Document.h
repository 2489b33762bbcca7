// The host's document and its window: the art the plug-in reads and writes, and the view that
// maps artwork coordinates to the window's pixels.
#ifndef SARVELLO_SIMHOST_CORE_DOCUMENT_H
#define SARVELLO_SIMHOST_CORE_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "HostAPI.h"

namespace simhost {

// A piece of art in the document. Paths are the only art the plug-in changes; a compound path is
// kept as one object whose subpaths are path art with the compound's id as parent.
struct Art {
  int kind = kPathArt;               // kPathArt, kCompoundPathArt, ...
  std::uint64_t parent = 0;          // id of the compound path holding this path, or 0
  std::vector<AIPathSegment> segments;
  bool closed = false;
  bool selected = false;
  // What the importer needs to write the art back: which source element it came from and which
  // subpath of it it is. The host itself does not look at these.
  int sourceIndex = -1;
  int subpathIndex = 0;
};

// The open document's art. Handles are never reused: a handle of deleted art stays invalid, and
// every operation on it answers kDeadArtErr.
// addArt throws std::length_error for more than kMaxSegments segments (a path's segment count is
// a 16-bit value) and std::invalid_argument for a parent that is not a compound path of the
// document. Removing a compound path removes its subpaths.
class Document {
 public:
  static constexpr std::size_t kMaxSegments = 32767;

  AIArtHandle addPath(std::vector<AIPathSegment> segments, bool closed, bool selected = true);
  AIArtHandle addArt(Art art);
  bool remove(AIArtHandle art);  // false when the handle is not valid
  Art* find(AIArtHandle art);    // none for an invalid handle
  const Art* find(AIArtHandle art) const;
  bool valid(AIArtHandle art) const;
  // The id a handle carries, for Art::parent (0 for none or a handle that is not art).
  static std::uint64_t id(AIArtHandle art);
  std::vector<AIArtHandle> handles() const;  // in document order (the order of creation)
  void selectAll(bool selected);
  std::size_t size() const;
  void clear();

 private:
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, Art> art_;  // ordered by id = document order
  // The art found last: the plug-in works on one path at a time, a call a segment. A copy of
  // the document starts without it (it would point into the other's art).
  struct LastFound {
    std::uint64_t id = 0;
    std::map<std::uint64_t, Art>::iterator at;
    LastFound() = default;
    LastFound(const LastFound&) {}
    LastFound& operator=(const LastFound&) {
      id = 0;
      return *this;
    }
  };
  mutable LastFound last_;
};

// The document window. The view shows the artwork point `center` at the middle of a window of
// width x height pixels, at `zoom` pixels per artwork unit; view y grows downward.
struct ViewState {
  bool open = true;  // false: no document view (CountDocumentViews answers 0)
  int32_t width = 1000;
  int32_t height = 800;
  AIRealPoint center{0.0f, 0.0f};
  double zoom = 1.0;
  AIBoolean showEdges = 1;  // the boolean display option the plug-in switches off while stirring

  AIRealRect bounds() const;                 // the visible area in artwork coordinates
  AIPoint toView(AIRealPoint artwork) const;  // rounded to the nearest pixel
  AIRealPoint toArtwork(AIPoint view) const;
};

}  // namespace simhost

#endif
