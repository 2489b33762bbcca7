#include "SarvelloAnnotator.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>

#include "IAIUnicodeString.h"
#include "SarvelloMain.h"
#include "SarvelloSuites.h"

namespace {

AIDocumentViewSuite& documentView() {
  if (sAIDocumentView == nullptr) throw ai::Error(kCantHappenErr);
  return *sAIDocumentView;
}

AIAnnotatorSuite& annotatorSuite() {
  if (sAIAnnotator == nullptr) throw ai::Error(kCantHappenErr);
  return *sAIAnnotator;
}

AIAnnotatorDrawerSuite& drawerSuite() {
  if (sAIAnnotatorDrawer == nullptr) throw ai::Error(kCantHappenErr);
  return *sAIAnnotatorDrawer;
}

// Where the cursor of a tool message falls in the overlay square, as fractions of its width and
// height (y growing downward). False when it lies outside the square, edges included in it, or
// when the square covers no pixel in one direction (far zoomed out): there is no fraction to give.
bool fractionInSquare(const Rect& square, const AIPoint& point, float* x, float* y) {
  const int64_t width = int64_t{square.right} - square.left;
  const int64_t height = int64_t{square.bottom} - square.top;
  const int64_t dx = int64_t{point.h} - square.left;
  const int64_t dy = int64_t{point.v} - square.top;
  if (width <= 0 || height <= 0) return false;
  if (dx < 0 || dx > width || dy < 0 || dy > height) return false;
  *x = static_cast<float>(dx) / static_cast<float>(width);
  *y = static_cast<float>(dy) / static_cast<float>(height);
  return true;
}

// A view coordinate from a computed value, held to what the view's coordinate type can carry (a
// drawer answering a wild text height must not make the position wrap around).
template <typename T = decltype(AIPoint{}.h)>
T clampToView(double value) {
  constexpr double lowest = std::numeric_limits<T>::min();
  constexpr double highest = std::numeric_limits<T>::max();
  if (!(value >= lowest)) return std::numeric_limits<T>::min();  // NaN too
  if (value > highest) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

}  // namespace

SarvelloAnnotator::SarvelloAnnotator() : engine(new (std::nothrow) SarvelloMain()) {}

// The engine's storage goes with the annotator: nothing uses it after application shutdown.
SarvelloAnnotator::~SarvelloAnnotator() { delete engine; }

ASErr SarvelloAnnotator::getAnnotationRect(Rect* rect) {
  return ai::Guarded([&]() -> ASErr {
    AIRealRect bounds{};
    ai::check_ai_error(documentView().GetDocumentViewBounds(nullptr, &bounds));
    const AIReal cx = (bounds.left + bounds.right) * 0.5f;
    const AIReal cy = (bounds.top + bounds.bottom) * 0.5f;
    // Integer halving first: an odd size gives a square one unit smaller.
    const AIReal half = static_cast<AIReal>(size / 2);
    AIRealRect square{};
    square.left = cx - half;
    square.right = cx + half;
    square.top = cy + half;
    square.bottom = cy - half;
    return ArtworkBoundsToViewBounds(square, rect);
  });
}

ASErr SarvelloAnnotator::ArtworkBoundsToViewBounds(const AIRealRect& artworkBounds,
                                                   Rect* viewBounds) {
  return ai::Guarded([&]() -> ASErr {
    AIDocumentViewSuite& view = documentView();
    const AIRealPoint topLeft{artworkBounds.left, artworkBounds.top};
    const AIRealPoint bottomRight{artworkBounds.right, artworkBounds.bottom};
    AIPoint first{};
    AIPoint second{};
    ai::check_ai_error(view.ArtworkPointToViewPoint(nullptr, &topLeft, &first));
    ai::check_ai_error(view.ArtworkPointToViewPoint(nullptr, &bottomRight, &second));
    viewBounds->left = first.h;
    viewBounds->top = first.v;
    viewBounds->right = second.h;
    viewBounds->bottom = second.v;
    return kNoErr;
  });
}

ASErr SarvelloAnnotator::ViewBoundsToArtworkBounds(const Rect& viewBounds,
                                                   AIRealRect* artworkBounds) {
  return ai::Guarded([&]() -> ASErr {
    AIDocumentViewSuite& view = documentView();
    AIPoint topLeft{};
    topLeft.h = viewBounds.left;
    topLeft.v = viewBounds.top;
    AIPoint bottomRight{};
    bottomRight.h = viewBounds.right;
    bottomRight.v = viewBounds.bottom;
    AIRealPoint first{};
    AIRealPoint second{};
    ai::check_ai_error(view.ViewPointToArtworkPoint(nullptr, &topLeft, &first));
    ai::check_ai_error(view.ViewPointToArtworkPoint(nullptr, &bottomRight, &second));
    artworkBounds->left = first.h;
    artworkBounds->top = first.v;
    artworkBounds->right = second.h;
    artworkBounds->bottom = second.v;
    return kNoErr;
  });
}

ASErr SarvelloAnnotator::InvalidateRect(const Rect& viewBounds) {
  return ai::Guarded([&]() -> ASErr {
    return annotatorSuite().InvalAnnotationRect(nullptr, &viewBounds);
  });
}

ASErr SarvelloAnnotator::InvalidateRect(const AIRealRect& artworkBounds) {
  return ai::Guarded([&]() -> ASErr {
    AIAnnotatorSuite& annotator = annotatorSuite();
    Rect viewBounds{};
    ai::check_ai_error(ArtworkBoundsToViewBounds(artworkBounds, &viewBounds));
    return annotator.InvalAnnotationRect(nullptr, &viewBounds);
  });
}

ASErr SarvelloAnnotator::Refresh() {
  return ai::Guarded([&]() -> ASErr {
    // No document (or no way to ask): nothing to redraw.
    int32_t views = 0;
    if (sAIDocumentView == nullptr || sAIDocumentView->CountDocumentViews(&views) != kNoErr ||
        views == 0) {
      return kNoErr;
    }
    Rect square{};
    ai::check_ai_error(getAnnotationRect(&square));
    // The frame sits on the square's edge; only the inside is asked for again.
    square.left += 2;
    square.top += 2;
    square.right -= 2;
    square.bottom -= 2;
    return InvalidateRect(square);
  });
}

ASErr SarvelloAnnotator::DrawAnnotation(AIAnnotatorMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (message == nullptr) return kBadParameterErr;
    Rect square{};
    ai::check_ai_error(getAnnotationRect(&square));
    if (engine != nullptr) engine->display(message, square);

    AIAnnotatorDrawerSuite& drawer = drawerSuite();
    AIAnnotatorDrawer* target = message->drawer;
    const AIRGBColor black{0, 0, 0};
    drawer.SetColor(target, &black);
    drawer.SetLineWidth(target, 1.0f);
    ai::check_ai_error(drawer.DrawRect(target, &square, false));
    ai::check_ai_error(drawer.SetFontPreset(target, 1));
    AIReal textHeight = 0.0f;
    drawer.GetTextHeight(target, &textHeight);

    AIPoint origin{};
    origin.h = clampToView(static_cast<double>(square.left) + 5.0);
    origin.v = clampToView(static_cast<double>(square.bottom) - std::trunc(textHeight + 5.0));

    char status[64];
    std::snprintf(status, sizeof status, "Step = %d Vertices = %d", static_cast<int>(step),
                  engine != nullptr ? engine->vertex_total : 0);
    ++step;
    const ai::UnicodeString text(status, kAIPlatformCharacterEncoding);
    return drawer.DrawText(target, text.handle(), &origin);
  });
}

ASErr SarvelloAnnotator::feedBrush(AIToolMessage* message,
                                   void (*feed)(SarvelloMain&, float x, float y)) {
  return ai::Guarded([&]() -> ASErr {
    if (message == nullptr) return kBadParameterErr;
    Rect square{};
    ai::check_ai_error(getAnnotationRect(&square));
    AIPoint point{};
    ai::check_ai_error(documentView().ArtworkPointToViewPoint(nullptr, &message->cursor, &point));
    float x = 0.0f;
    float y = 0.0f;
    if (fractionInSquare(square, point, &x, &y) && engine != nullptr) feed(*engine, x, y);
    return kNoErr;
  });
}

ASErr SarvelloAnnotator::ToolMouseDown(AIToolMessage* message) {
  return feedBrush(message,
                   [](SarvelloMain& brush, float x, float y) { brush.mouse_func(0, x, y); });
}

ASErr SarvelloAnnotator::ToolMouseDrag(AIToolMessage* message) {
  return feedBrush(message,
                   [](SarvelloMain& brush, float x, float y) { brush.motion_func(x, y); });
}

ASErr SarvelloAnnotator::ToolMouseUp(AIToolMessage* message) {
  return feedBrush(message,
                   [](SarvelloMain& brush, float x, float y) { brush.mouse_func(1, x, y); });
}

ASErr SarvelloAnnotator::advect_and_subdivide() {
  return ai::Guarded([&]() -> ASErr {
    // Through view coordinates and back: the simulation rectangle's edges fall on whole pixels.
    Rect square{};
    ai::check_ai_error(getAnnotationRect(&square));
    AIRealRect simulation{};
    ai::check_ai_error(ViewBoundsToArtworkBounds(square, &simulation));
    if (engine == nullptr) return kNoErr;
    return engine->advect_and_subdivide(simulation);
  });
}

ASErr SarvelloAnnotator::setParameter(float viscosity, float dt, float force, int N,
                                      float sampling, int newSize) {
  return ai::Guarded([&]() -> ASErr {
    if (newSize >= 0) {
      size = newSize;
      // Redraw the whole view with the new square; if that fails the engine keeps its values.
      AIRealRect bounds{};
      ai::check_ai_error(documentView().GetDocumentViewBounds(nullptr, &bounds));
      ai::check_ai_error(InvalidateRect(bounds));
    }
    if (engine == nullptr) return kNoErr;
    return engine->setParameter(viscosity, dt, force, N, sampling, newSize);
  });
}
