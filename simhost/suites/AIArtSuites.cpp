// AI Art, AI Path, AI Matching Art and AI MdMemory over the host's document.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// The art behind a handle, or the code an operation answers for it.
ASErr findPath(Host& host, AIArtHandle handle, Art** art) {
  if (handle == nullptr) return kBadParameterErr;
  *art = host.document().find(handle);
  if (*art == nullptr) return kDeadArtErr;
  if ((*art)->kind != kPathArt) return kNotAPathErr;
  return kNoErr;
}

AIBoolean validArt(AIArtHandle art) {
  AIBoolean answer = 0;
  ASErr err = hostCall("AIArt.ValidArt", [&](Host& host, HostState&) -> ASErr {
    answer = host.document().valid(art) ? 1 : 0;
    return kNoErr;
  });
  return err == kNoErr ? answer : 0;
}

AIErr getPathSegmentCount(AIArtHandle path, int16_t* count) {
  return hostCall("AIPath.GetPathSegmentCount", [&](Host& host, HostState&) -> ASErr {
    Art* art = nullptr;
    if (ASErr err = findPath(host, path, &art)) return err;
    if (count == nullptr) return kBadParameterErr;
    // Art edited directly through Document::find may exceed what a 16-bit count can tell.
    if (art->segments.size() > Document::kMaxSegments) return kCantHappenErr;
    *count = static_cast<int16_t>(art->segments.size());
    return kNoErr;
  });
}

AIErr setPathSegmentCount(AIArtHandle path, int16_t count) {
  return hostCall("AIPath.SetPathSegmentCount", [&](Host& host, HostState&) -> ASErr {
    Art* art = nullptr;
    if (ASErr err = findPath(host, path, &art)) return err;
    if (count < 0) return kBadParameterErr;
    art->segments.resize(static_cast<std::size_t>(count), AIPathSegment{});
    host.document().touch(*art);
    return kNoErr;
  });
}

AIErr getPathSegments(AIArtHandle path, int16_t segNumber, int16_t count, AIPathSegment* segments) {
  return hostCall("AIPath.GetPathSegments", [&](Host& host, HostState&) -> ASErr {
    Art* art = nullptr;
    if (ASErr err = findPath(host, path, &art)) return err;
    if (segNumber < 0 || count < 0) return kBadParameterErr;
    if (static_cast<std::size_t>(segNumber) + static_cast<std::size_t>(count) > art->segments.size())
      return kBadParameterErr;
    if (count == 0) return kNoErr;
    if (segments == nullptr) return kBadParameterErr;
    std::memcpy(segments, art->segments.data() + segNumber,
                static_cast<std::size_t>(count) * sizeof(AIPathSegment));
    return kNoErr;
  });
}

// Replaces count segments from segNumber on. A run reaching past the end (segNumber up to the
// current count) extends the path; a gap before segNumber is refused.
AIErr setPathSegments(AIArtHandle path, int16_t segNumber, int16_t count,
                      const AIPathSegment* segments) {
  return hostCall("AIPath.SetPathSegments", [&](Host& host, HostState&) -> ASErr {
    Art* art = nullptr;
    if (ASErr err = findPath(host, path, &art)) return err;
    if (segNumber < 0 || count < 0) return kBadParameterErr;
    const std::size_t first = static_cast<std::size_t>(segNumber);
    const std::size_t end = first + static_cast<std::size_t>(count);
    if (first > art->segments.size() || end > Document::kMaxSegments) return kBadParameterErr;
    if (count == 0) return kNoErr;
    if (segments == nullptr) return kBadParameterErr;
    if (end > art->segments.size()) art->segments.resize(end);
    std::memcpy(art->segments.data() + first, segments,
                static_cast<std::size_t>(count) * sizeof(AIPathSegment));
    host.document().touch(*art);
    return kNoErr;
  });
}

AIErr getPathClosed(AIArtHandle path, AIBoolean* closed) {
  return hostCall("AIPath.GetPathClosed", [&](Host& host, HostState&) -> ASErr {
    Art* art = nullptr;
    if (ASErr err = findPath(host, path, &art)) return err;
    if (closed == nullptr) return kBadParameterErr;
    *closed = art->closed ? 1 : 0;
    return kNoErr;
  });
}

// The attributes of art as matching sees them. A path inside a compound path is selected when
// the compound path is: selecting a compound path selects all of it.
int32_t attributes(const Document& document, const Art& art) {
  bool selected = art.selected;
  if (!selected && art.parent != 0) {
    const Art* parent = document.find(makeHandle<AIArtHandle>(HandleKind::Art, art.parent));
    selected = parent != nullptr && parent->selected;
  }
  return selected ? kArtSelected : 0;
}

bool matches(const AIMatchingArtSpec& spec, const Art& art, int32_t attrs) {
  if (spec.type != kAnyArt && spec.type != art.kind) return false;
  return (attrs & spec.whichAttr) == (spec.attr & spec.whichAttr);
}

// The array handed out is one block: the master pointer, then the handles it points to.
AIErr getMatchingArt(AIMatchingArtSpec* specs, int16_t numSpecs, AIArtHandle*** matchesOut,
                     int32_t* numMatches) {
  return hostCall("AIMatchingArt.GetMatchingArt", [&](Host& host, HostState& impl) -> ASErr {
    if (matchesOut == nullptr || numMatches == nullptr) return kBadParameterErr;
    *matchesOut = nullptr;
    *numMatches = 0;
    if (specs == nullptr || numSpecs <= 0) return kBadParameterErr;
    const Document& document = host.document();
    std::vector<AIArtHandle> found;
    for (AIArtHandle handle : document.handles()) {
      const Art* art = document.find(handle);
      const int32_t attrs = attributes(document, *art);
      for (int16_t s = 0; s < numSpecs; ++s) {
        if (matches(specs[s], *art, attrs)) {
          found.push_back(handle);
          break;
        }
      }
    }
    if (found.empty()) return kNoErr;
    const std::size_t bytes = sizeof(AIArtHandle*) + found.size() * sizeof(AIArtHandle);
    void* block = std::malloc(bytes);
    if (block == nullptr) return kOutOfMemoryErr;
    auto** master = static_cast<AIArtHandle**>(block);
    auto* items = reinterpret_cast<AIArtHandle*>(static_cast<char*>(block) + sizeof(AIArtHandle*));
    std::memcpy(items, found.data(), found.size() * sizeof(AIArtHandle));
    *master = items;
    try {
      impl.matchingArrays.insert(block);
    } catch (...) {
      std::free(block);
      throw;
    }
    *matchesOut = master;
    *numMatches = static_cast<int32_t>(found.size());
    return kNoErr;
  });
}

// None is accepted and ignored (GetMatchingArt answers none when nothing matches); a handle the
// host did not hand out, or already disposed, is refused.
AIErr mdMemoryDisposeHandle(AIMdMemoryHandle handle) {
  return hostCall("AIMdMemory.MdMemoryDisposeHandle", [&](Host&, HostState& impl) -> ASErr {
    if (handle == nullptr) return kNoErr;
    auto it = impl.matchingArrays.find(static_cast<void*>(handle));
    if (it == impl.matchingArrays.end()) return kBadParameterErr;
    impl.matchingArrays.erase(it);
    std::free(handle);
    return kNoErr;
  });
}

}  // namespace

const AIArtSuite kAIArtTable = {validArt};
const AIPathSuite kAIPathTable = {getPathSegmentCount, setPathSegmentCount, getPathSegments,
                                  setPathSegments, getPathClosed};
const AIMatchingArtSuite kAIMatchingArtTable = {getMatchingArt};
const AIMdMemorySuite kAIMdMemoryTable = {mdMemoryDisposeHandle};

}  // namespace simhost
