// Writing the document's art back into a drawing's source, shared by the exporter (Export.cpp:
// shapes) and the expansion of clones (Clones.cpp).
#ifndef SARVELLO_SIMHOST_SVG_WRITER_H
#define SARVELLO_SIMHOST_SVG_WRITER_H

#include <map>
#include <utility>
#include <vector>

#include "svg/DrawingImpl.h"

namespace simhost::svg {

class Writer {
 public:
  Writer(const Drawing::Impl& d, const Document& document, bool page);

  // The splices of the document itself: its shapes and its clones.
  std::vector<Splice> splices();

 private:
  // A shape written anew as a <path> (it changed, or this is the page's copy): its geometry,
  // kept looking as it did where `frame` places it, its mid markers drawn by a path after it.
  void shapeSplices(std::size_t shape, const StyleFrame& frame, std::vector<Splice>* out);
  bool rewritten(std::size_t shape) const { return page_ || (changed_[shape] != 0 && any_[shape] != 0); }

  // Clones.cpp: whether a clone must be expanded (something it shows changed), and its text.
  bool dirty(std::size_t instance);
  std::string expansion(std::size_t instance, const StyleFrame& use);
  // The splices of an element inside a clone's expansion and of everything in it.
  void copySplices(pugi::xml_node element, int instance, const StyleFrame& frame, std::vector<Splice>* out);
  std::string copyOf(pugi::xml_node element, std::size_t begin, std::size_t end, int instance,
                     const StyleFrame& frame, bool childrenOnly);

  const Drawing::Impl& d_;
  const Document& document_;
  const bool page_;
  std::vector<Geometry> geometry_;          // each shape's, in its own coordinates
  std::vector<char> changed_, any_;
  std::vector<int> markerNumber_;           // the page's number of the path of its mid markers
  std::vector<int> dirty_;                  // per clone: -1 not known yet, 0, 1, 2 being found
  std::vector<std::size_t> changedOffsets_; // where the document's own changed shapes begin
  std::vector<std::pair<std::size_t, std::size_t>> uses_;  // the document's clones: offset, index
  std::map<std::pair<const void*, int>, std::size_t> shapeAt_;     // (element, clone) -> shape
  std::map<std::pair<const void*, int>, std::size_t> instanceAt_;  // (<use>, clone) -> clone
};

}  // namespace simhost::svg

#endif
