#include "SarvelloMain.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "IAIUnicodeString.h"
#include "SarvelloSuites.h"
#include "FastSolver.h"
#include "Solver.h"

namespace {

// A path whose conversion yields more points than this stops the run.
constexpr int32_t kVertexLimit = 29990;
// The tolerance handed to the curve-to-points conversion.
constexpr AIReal kConversionTolerance = 0.1f;

const char kVertexLimitAlert[] =
    "Sarvello Auto Limitter\n\n Due to an application limitations, number of each path's vertices "
    "is limitted up to 30,000. Stopping.";
const char kNoSelectionAlert[] = "Please select at least one path object.";

// A host suite that must be there for the operation to go on.
template <typename Suite>
Suite& need(Suite* suite) {
  if (suite == nullptr) throw ai::Error(kSuiteNotFoundErr);
  return *suite;
}

// Runs an operation and turns what it throws into the host error code it answers; unlike the
// plug-in's handlers, the engine answers a refused allocation with "!MEM".
template <typename Operation>
int guarded(Operation&& operation) noexcept {
  return ai::Guarded([&]() -> ASErr {
    try {
      operation();
      return kNoErr;
    } catch (const std::bad_alloc&) {
      return kOutOfMemoryErr;
    }
  });
}

void show_alert(const char* text) {
  if (sADMBasic != nullptr && sADMBasic->MessageAlert != nullptr) sADMBasic->MessageAlert(text);
}

// False when no document view is open, or the views cannot be counted.
bool document_open() {
  if (sAIDocumentView == nullptr) return false;
  int32_t views = 0;
  return sAIDocumentView->CountDocumentViews(&views) == kNoErr && views > 0;
}

// The selected path art. The host's array is released when this goes out of scope, on every path.
class SelectedPaths {
 public:
  SelectedPaths() {
    AIMatchingArtSpec spec{kPathArt, kArtSelected, kArtSelected};
    ai::check_ai_error(need(sAIMatchingArt).GetMatchingArt(&spec, 1, &fMatches, &fCount));
    if (fMatches == nullptr || *fMatches == nullptr || fCount < 0) fCount = 0;
  }
  ~SelectedPaths() {
    if (fMatches != nullptr && sAIMDMemory != nullptr)
      sAIMDMemory->MdMemoryDisposeHandle(reinterpret_cast<AIMdMemoryHandle>(fMatches));
  }
  SelectedPaths(const SelectedPaths&) = delete;
  SelectedPaths& operator=(const SelectedPaths&) = delete;

  int32_t count() const { return fCount; }
  AIArtHandle operator[](int32_t k) const { return (*fMatches)[k]; }

 private:
  AIArtHandle** fMatches = nullptr;
  int32_t fCount = 0;
};

// An SP Blocks block owned for one scope.
class BlockHolder {
 public:
  explicit BlockHolder(void* block = nullptr) : fBlock(block) {}
  ~BlockHolder() { ai::SPAlloc::DeleteBlock(fBlock); }
  BlockHolder(const BlockHolder&) = delete;
  BlockHolder& operator=(const BlockHolder&) = delete;
  void* get() const { return fBlock; }
  void reset() {
    ai::SPAlloc::DeleteBlock(fBlock);
    fBlock = nullptr;
  }

 private:
  void* fBlock;
};

// Puts a path's segments back when the scope is left without dismiss(), that is by a failure
// while its new segments were being written. Its own failures are not reported: the failure that
// brought it here is.
class PathRestorer {
 public:
  PathRestorer(AIArtHandle art, const AIPathSegment* segments, int32_t count)
      : fArt(art), fSegments(segments), fCount(count) {}
  ~PathRestorer() {
    if (fSegments == nullptr || sAIPath == nullptr) return;
    const auto count = static_cast<int16_t>(fCount);
    if (sAIPath->SetPathSegmentCount(fArt, count) == kNoErr)
      sAIPath->SetPathSegments(fArt, 0, count, fSegments);
  }
  PathRestorer(const PathRestorer&) = delete;
  PathRestorer& operator=(const PathRestorer&) = delete;
  void dismiss() { fSegments = nullptr; }

 private:
  AIArtHandle fArt;
  const AIPathSegment* fSegments;
  int32_t fCount;
};

// The largest resolution whose (N+2)^2 elements can be counted in an int.
constexpr int kMaxResolution = 46338;

int grid_elements(int n) { return (n + 2) * (n + 2); }

}  // namespace

void* my_allocate(int32_t size) noexcept {
  if (size < 0) return nullptr;
  try {
    return ai::SPAlloc::AllocateBlock(static_cast<std::size_t>(size));
  } catch (...) {
    return nullptr;
  }
}

void my_dispose(void* block) noexcept {
  try {
    ai::SPAlloc::DeleteBlock(block);
  } catch (...) {
  }
}

SarvelloMain::SarvelloMain() {
  if (allocate_data() == 1) clear();
}

SarvelloMain::~SarvelloMain() { release_grid(); }

void SarvelloMain::release_grid() {
  float** arrays[] = {&u, &v, &u_prev, &v_prev, &scratch};
  for (float** array : arrays) {
    ai::SPAlloc::DeleteBlock(*array);
    *array = nullptr;
  }
}

int SarvelloMain::allocate_data() {
  // A resolution whose element count does not fit an int cannot be indexed: it is refused like
  // a block the host cannot give.
  if (N < 1 || N > kMaxResolution) {
    std::fputs("cannot allocate data\n", stderr);
    throw ai::Error(kOutOfMemoryErr);
  }
  const std::size_t bytes = static_cast<std::size_t>(grid_elements(N)) * sizeof(float);
  // The four arrays and the velocity step's scratch rows are taken before any field changes: a
  // refusal gives back what was obtained and leaves the fields (and the grid they describe) as
  // they were.
  float* blocks[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
  try {
    for (int k = 0; k < 4; ++k)
      blocks[k] = static_cast<float*>(ai::SPAlloc::AllocateBlock(bytes));
    blocks[4] = static_cast<float*>(
        ai::SPAlloc::AllocateBlock(fastsolver::scratch_floats(N) * sizeof(float)));
  } catch (...) {
    for (float* block : blocks) ai::SPAlloc::DeleteBlock(block);
    std::fputs("cannot allocate data\n", stderr);
    throw;
  }
  u = blocks[0];
  v = blocks[1];
  u_prev = blocks[2];
  v_prev = blocks[3];
  scratch = blocks[4];
  if (has_grid()) return 1;
  std::fputs("cannot allocate data\n", stderr);
  return 0;
}

int SarvelloMain::clear() {
  if (!has_grid()) return 0;
  const int count = grid_elements(N);
  for (int k = 0; k < count; ++k) {
    v_prev[k] = 0.0f;
    u_prev[k] = 0.0f;
    v[k] = 0.0f;
    u[k] = 0.0f;
  }
  return 0;
}

int SarvelloMain::setParameter(float viscosity_, float time_step, float force, int grid_resolution,
                               float sampling_, int /*size*/) {
  // A value is taken only when it is a finite number not below zero: a negative one means
  // "unchanged", and a NaN or an infinity would poison every later step.
  auto usable = [](float value) { return std::isfinite(value) && value >= 0.0f; };
  if (usable(viscosity_)) viscosity = viscosity_;
  if (usable(time_step)) dt = time_step;
  if (usable(force) && std::isfinite(force * 4000.0f)) force_scale = force * 4000.0f;
  if (grid_resolution >= 0) {
    pending_N = grid_resolution;
    std::printf("changin grid resolution to %d\n", grid_resolution);
    std::fflush(stdout);
  }
  if (usable(sampling_)) sampling = sampling_;
  return 0;
}

int SarvelloMain::prepare() {
  running = 1;
  return recordPolygons();
}

int SarvelloMain::simplify() { return 0; }

void SarvelloMain::write_impulse() {
  if (!mouse_down || !has_grid()) return;
  const float n = static_cast<float>(N);
  // The cell whose span contains the brush; tested before the conversion to an integer so that
  // no position (an edge, a NaN) can reach outside the interior.
  const float fi = brush_x * n + 1.0f;
  const float fj = brush_y * n + 1.0f;
  const float limit = static_cast<float>(N + 1);
  if (!(fi >= 1.0f && fi < limit && fj >= 1.0f && fj < limit)) return;
  const int i = static_cast<int>(fi);
  const int j = static_cast<int>(fj);
  if (i < 1 || i > N || j < 1 || j > N) return;
  const int k = i + (N + 2) * j;
  u_prev[k] = (brush_x - prev_x) * force_scale;
  v_prev[k] = (brush_y - prev_y) * force_scale;
  prev_x = brush_x;
  prev_y = brush_y;
}

int SarvelloMain::display(AIAnnotatorMessage* /*message*/, const Rect& /*square*/) {
  write_impulse();
  if (has_grid()) fastsolver::best().vel_step(N, u, v, u_prev, v_prev, viscosity, dt, scratch);
  return 0;
}

int SarvelloMain::mouse_func(int release, float x, float y) {
  brush_x = prev_x = x;
  brush_y = prev_y = y;
  mouse_down = (release == 0) ? 1 : 0;
  if (running == 0 || release != 0) return 0;
  return guarded([] {
    if (!document_open()) return;
    SelectedPaths selection;
    if (selection.count() == 0) show_alert(kNoSelectionAlert);
  });
}

int SarvelloMain::motion_func(float x, float y) {
  brush_x = x;
  brush_y = y;
  return 0;
}

int SarvelloMain::recordPolygons() {
  return guarded([this] {
    if (!document_open()) return;
    // All or nothing: the record is built aside and replaces the old one only once every path has
    // been read. A capture that fails part-way leaves an empty record, so that a later Retry
    // cannot write half-read (zero) segments into the user's paths.
    captured_arts.clear();
    captured_segments.clear();
    SelectedPaths selection;
    const int32_t count = selection.count();
    std::vector<AIArtHandle> arts;
    std::vector<std::vector<AIPathSegment>> lists;
    arts.reserve(static_cast<std::size_t>(count));
    lists.reserve(static_cast<std::size_t>(count));
    AIPathSuite& path = need(sAIPath);
    for (int32_t k = 0; k < count; ++k) {
      const AIArtHandle art = selection[k];
      int16_t segments = 0;
      ai::check_ai_error(path.GetPathSegmentCount(art, &segments));
      if (segments < 0) segments = 0;
      std::vector<AIPathSegment> list(static_cast<std::size_t>(segments), AIPathSegment{});
      for (int16_t i = 0; i < segments; ++i)
        ai::check_ai_error(path.GetPathSegments(art, i, 1, &list[static_cast<std::size_t>(i)]));
      arts.push_back(art);
      lists.push_back(std::move(list));
    }
    captured_arts = std::move(arts);
    captured_segments = std::move(lists);
  });
}

int SarvelloMain::retry() {
  clear();
  return guarded([this] {
    for (std::size_t k = 0; k < captured_arts.size(); ++k) {
      const AIArtHandle art = captured_arts[k];
      // A captured path deleted since is skipped; the others are still restored.
      if (art == nullptr) continue;
      if (sAIArt != nullptr && sAIArt->ValidArt != nullptr && !sAIArt->ValidArt(art)) continue;
      const std::vector<AIPathSegment>& list = captured_segments[k];
      const auto count = static_cast<int16_t>(list.size());  // read as a 16-bit count
      AIPathSuite& path = need(sAIPath);
      ai::check_ai_error(path.SetPathSegmentCount(art, count));
      if (count > 0) ai::check_ai_error(path.SetPathSegments(art, 0, count, list.data()));
    }
  });
}

void SarvelloMain::move_points(AIPathConstPoint* points, int32_t count,
                               const _t_ASRealRect& rect) const {
  // The conversion's points are moved where they lie, their positions three floats apart.
  static_assert(sizeof(AIPathConstPoint) == 3 * sizeof(float) &&
                offsetof(AIPathConstPoint, point) == 0 && offsetof(AIRealPoint, v) == sizeof(float));
  const fastsolver::Field field{N, u, v, dt, rect.left, rect.top, rect.right, rect.bottom};
  fastsolver::best().move_points(field, &points[0].point.h, 3, count);
}

void SarvelloMain::deform_path(AIArtHandle art, const _t_ASRealRect& rect) {
  AIPathSuite& path = need(sAIPath);
  int16_t count16 = 0;
  ai::check_ai_error(path.GetPathSegmentCount(art, &count16));
  AIBoolean closed = 0;
  ai::check_ai_error(path.GetPathClosed(art, &closed));
  int32_t count = count16;
  if (count <= 0) return;  // nothing to convert

  if (closed && count >= std::numeric_limits<int16_t>::max()) {
    // The explicit closing segment would not fit a 16-bit count: such a path is far over the
    // vertex limit anyway, and is treated as one that struck it.
    show_alert(kVertexLimitAlert);
    running = 0;
    vertex_total += count;
    return;
  }

  // The segments as the document holds them, and for a closed path one more slot: the closing
  // curve becomes an explicit last segment in this copy only, so the path converts as an open run
  // while the document is not touched until its new polyline is written.
  const int32_t stored = count;
  const int32_t slots = closed ? count + 1 : count;
  BlockHolder segments(ai::SPAlloc::AllocateBlock(static_cast<std::size_t>(slots) *
                                                  sizeof(AIPathSegment)));
  auto* segs = static_cast<AIPathSegment*>(segments.get());
  ai::check_ai_error(path.GetPathSegments(art, 0, static_cast<int16_t>(count), segs));
  const AIPathSegment first = segs[0];
  if (closed) {
    segs[0].in = segs[0].p;
    segs[count] = first;
    segs[count].out = segs[count].p;
    count += 1;
  }

  int32_t pointCount = 0;
  AIPathConstPoint* rawPoints = nullptr;
  AIPathConstructionMemoryObject memory{my_allocate, my_dispose};
  const AIErr converted = need(sAIPathConstruction)
                              .CurvesToPoints(count, segs, &pointCount, &rawPoints, sampling,
                                              kConversionTolerance, &memory);
  BlockHolder points(rawPoints);
  ai::check_ai_error(converted);
  if (pointCount < 0 || (pointCount > 0 && rawPoints == nullptr)) throw ai::Error(kCantHappenErr);
  segs[0] = first;
  // Should writing the polyline fail part-way, the path gets its segments back as they were read.
  PathRestorer restorer(art, segs, stored);

  // Also covers every count that would not fit the 16-bit segment count.
  if (pointCount > kVertexLimit) {
    show_alert(kVertexLimitAlert);
    running = 0;
  }
  // The last point repeats the first anchor and is dropped. A closed path that converts to a
  // single point (all its anchors in one place) keeps that point: dropping it would leave an empty
  // path and lose the art.
  if (closed && pointCount > 1) pointCount -= 1;

  if (running != 0) {
    ai::check_ai_error(path.SetPathSegmentCount(art, static_cast<int16_t>(pointCount)));
    move_points(rawPoints, pointCount, rect);
    for (int32_t k = 0; k < pointCount; ++k) {
      const AIRealPoint p = rawPoints[k].point;
      const AIPathSegment segment{p, p, p, rawPoints[k].corner};
      ai::check_ai_error(path.SetPathSegments(art, static_cast<int16_t>(k), 1, &segment));
    }
  }
  restorer.dismiss();
  vertex_total += pointCount;
}

void SarvelloMain::regrid() {
  if (pending_N == 0) return;
  const int oldN = N;
  float* const old[5] = {u, v, u_prev, v_prev, scratch};
  const int newN = pending_N;
  // A request is consumed whether or not it can be met; a refused one is reported once as "!MEM"
  // rather than on every later step.
  pending_N = 0;

  N = newN;
  try {
    if (allocate_data() != 1) throw ai::Error(kOutOfMemoryErr);
  } catch (...) {
    // The old grid stays, and with it the old resolution.
    N = oldN;
    u = old[0];
    v = old[1];
    u_prev = old[2];
    v_prev = old[3];
    scratch = old[4];
    throw;
  }
  N_copy = N;
  clear();

  if (old[0] != nullptr && old[1] != nullptr) {
    const float n = static_cast<float>(N);
    const float on = static_cast<float>(oldN);
    for (int i = 0; i < N; ++i) {
      for (int j = 0; j < N; ++j) {
        const float x = static_cast<float>(i) / n * on;
        const float y = static_cast<float>(j) / n * on;
        u[i + (N + 2) * j] = interpolate(oldN, old[0], x, y);
        v[i + (N + 2) * j] = interpolate(oldN, old[1], x, y);
      }
    }
  }
  for (float* block : old) ai::SPAlloc::DeleteBlock(block);
}

int SarvelloMain::advect_and_subdivide(const _t_ASRealRect& rect) {
  if (running == 0) return 0;
  return guarded([&] {
    if (!document_open()) return;
    SelectedPaths selection;
    vertex_total = 0;
    if (has_grid()) {
      for (int32_t k = 0; k < selection.count(); ++k) deform_path(selection[k], rect);
    }
    regrid();
  });
}
