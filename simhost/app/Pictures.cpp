// The runner's pictures: the document window as it stands, a picture framing the drawing, and
// the frames a session takes.
#include <algorithm>
#include <cmath>

#include "app/Runner.h"
#include "svg/Svg.h"

namespace simhost::app {

bool Runner::takeFrame(const std::string& label, const std::string& file, std::string* error) {
  Frame frame;
  frame.label = label;
  frame.file = file;
  std::string why;
  if (!picture(true, &frame.image, &why)) {
    *error = label + ": cannot take the picture: " + why;
    return false;
  }
  frames_.push_back(std::move(frame));
  return true;
}

bool Runner::framedPicture(const PictureSize& size, picture::Image* out, std::string* error) const {
  // What the picture frames, in artwork coordinates: the overlay square and the drawing's canvas
  // (its viewBox, as a renderer shows it; art beyond the canvas is left outside, as there).
  const AIRealRect square = overlaySquare(host_->view(), squareSize_);
  double left = square.left, right = square.right, bottom = square.bottom, top = square.top;
  const auto include = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    left = std::min(left, x), right = std::max(right, x);
    bottom = std::min(bottom, y), top = std::max(top, y);
  };
  if (drawing_) {
    const svg::Affine& m = drawing_->userToArtwork();
    const double cx = drawing_->canvasX(), cy = drawing_->canvasY();
    for (double x : {cx, cx + drawing_->canvasWidth()}) {
      for (double y : {cy, cy + drawing_->canvasHeight()}) {
        double ax = x, ay = y;
        m.apply(ax, ay);
        include(ax, ay);
      }
    }
  }
  const double w = std::max(right - left, 1.0), h = std::max(top - bottom, 1.0);
  constexpr double kMargin = 1.05;  // a little paper around what is framed
  constexpr double kLongSide = 800;  // pixels of the longer side by default
  constexpr int kMaxSide = 16384;
  ViewState view = host_->view();
  view.center = {static_cast<AIReal>((left + right) / 2), static_cast<AIReal>((bottom + top) / 2)};
  if (size.width > 0 && size.height > 0) {
    view.width = size.width;
    view.height = size.height;
    view.zoom = std::min(size.width / (w * kMargin), size.height / (h * kMargin));
  } else {
    view.zoom = kLongSide * size.scale / (std::max(w, h) * kMargin);
    view.width = static_cast<int32_t>(std::clamp(std::ceil(w * kMargin * view.zoom), 16.0, double(kMaxSide)));
    view.height = static_cast<int32_t>(std::clamp(std::ceil(h * kMargin * view.zoom), 16.0, double(kMaxSide)));
  }
  static const OverlayRecording none;
  return picture::renderView(drawing_.get(), host_->document(), view, none, out, error);
}

bool Runner::picture(bool overlay, picture::Image* out, std::string* error) const {
  static const OverlayRecording none;
  return picture::renderView(drawing_.get(), host_->document(), host_->view(),
                             overlay ? this->overlay() : none, out, error);
}

}  // namespace simhost::app
