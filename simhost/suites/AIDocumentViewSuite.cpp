// AI Document View over the host's one document window (ViewState).
#include <cmath>

#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// The view a call addresses: none (the current view) or the host's view handle, while a view is
// open and its mapping is usable.
ASErr openView(Host& host, AIDocumentViewHandle view, const ViewState** state) {
  if (view != nullptr && view != host.viewHandle()) return kBadParameterErr;
  const ViewState& v = host.view();
  if (!v.open) return kNoDocumentErr;
  if (!(std::isfinite(v.zoom) && v.zoom > 0.0) || v.width <= 0 || v.height <= 0)
    return kCantHappenErr;  // a view the host itself has set up wrongly
  *state = &v;
  return kNoErr;
}

AIErr countDocumentViews(int32_t* count) {
  return hostCall("AIDocumentView.CountDocumentViews", [&](Host& host, HostState&) -> ASErr {
    if (count == nullptr) return kBadParameterErr;
    *count = host.view().open ? 1 : 0;
    return kNoErr;
  });
}

AIErr getDocumentViewBounds(AIDocumentViewHandle view, AIRealRect* bounds) {
  return hostCall("AIDocumentView.GetDocumentViewBounds", [&](Host& host, HostState&) -> ASErr {
    const ViewState* state = nullptr;
    if (ASErr err = openView(host, view, &state)) return err;
    if (bounds == nullptr) return kBadParameterErr;
    *bounds = state->bounds();
    return kNoErr;
  });
}

AIErr artworkPointToViewPoint(AIDocumentViewHandle view, const AIRealPoint* artPoint,
                              AIPoint* viewPoint) {
  return hostCall("AIDocumentView.ArtworkPointToViewPoint", [&](Host& host, HostState&) -> ASErr {
    const ViewState* state = nullptr;
    if (ASErr err = openView(host, view, &state)) return err;
    if (artPoint == nullptr || viewPoint == nullptr) return kBadParameterErr;
    if (!std::isfinite(artPoint->h) || !std::isfinite(artPoint->v)) return kBadParameterErr;
    *viewPoint = state->toView(*artPoint);
    return kNoErr;
  });
}

AIErr viewPointToArtworkPoint(AIDocumentViewHandle view, const AIPoint* viewPoint,
                              AIRealPoint* artPoint) {
  return hostCall("AIDocumentView.ViewPointToArtworkPoint", [&](Host& host, HostState&) -> ASErr {
    const ViewState* state = nullptr;
    if (ASErr err = openView(host, view, &state)) return err;
    if (artPoint == nullptr || viewPoint == nullptr) return kBadParameterErr;
    *artPoint = state->toArtwork(*viewPoint);
    return kNoErr;
  });
}

AIErr getShowEdges(AIDocumentViewHandle view, AIBoolean* show) {
  return hostCall("AIDocumentView.GetShowEdges", [&](Host& host, HostState&) -> ASErr {
    const ViewState* state = nullptr;
    if (ASErr err = openView(host, view, &state)) return err;
    if (show == nullptr) return kBadParameterErr;
    *show = state->showEdges;
    return kNoErr;
  });
}

AIErr setShowEdges(AIDocumentViewHandle view, AIBoolean show) {
  return hostCall("AIDocumentView.SetShowEdges", [&](Host& host, HostState&) -> ASErr {
    const ViewState* state = nullptr;
    if (ASErr err = openView(host, view, &state)) return err;
    host.view().showEdges = show ? 1 : 0;
    return kNoErr;
  });
}

}  // namespace

const AIDocumentViewSuite kAIDocumentViewTable = {countDocumentViews,      getDocumentViewBounds,
                                                  artworkPointToViewPoint, viewPointToArtworkPoint,
                                                  getShowEdges,            setShowEdges};

}  // namespace simhost
