// Pictures of the document window, rendered with librsvg and cairo.
#include "picture/Picture.h"

#include <cairo.h>
#include <gio/gio.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/Files.h"
#include "svg/Svg.h"

namespace simhost::picture {

namespace {

// Larger windows are refused rather than allocated.
constexpr int kMaxSide = 16384;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// A cairo surface over a copy of the image's pixels (cairo's ARGB32 is 0xAARRGGBB per uint32,
// premultiplied; our images are opaque or premultiplied alike).
Surface surfaceFrom(const Image& image) {
  Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return s;
  cairo_surface_flush(s.get());
  unsigned char* data = cairo_image_surface_get_data(s.get());
  const int stride = cairo_image_surface_get_stride(s.get());
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(data + static_cast<std::size_t>(y) * stride,
                image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                static_cast<std::size_t>(image.width) * 4);
  }
  cairo_surface_mark_dirty(s.get());
  return s;
}

Image imageFrom(cairo_surface_t* s) {
  cairo_surface_flush(s);
  Image image;
  image.width = cairo_image_surface_get_width(s);
  image.height = cairo_image_surface_get_height(s);
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                data + static_cast<std::size_t>(y) * stride, static_cast<std::size_t>(image.width) * 4);
  }
  return image;
}

void setColor(cairo_t* cr, const AIRGBColor& c) {
  cairo_set_source_rgb(cr, c.red / 65535.0, c.green / 65535.0, c.blue / 65535.0);
}

// Plays the calls back on a context whose user space is view pixels.
void playOverlay(cairo_t* cr, const OverlayRecording& overlay) {
  AIRGBColor color{0, 0, 0};
  double lineWidth = 1.0;
  int preset = 1;
  for (const OverlayCall& call : overlay) {
    switch (call.kind) {
      case OverlayCall::SetColor: color = call.color; break;
      case OverlayCall::SetLineWidth: lineWidth = call.lineWidth; break;
      case OverlayCall::SetFontPreset: preset = knownFontPreset(call.preset) ? call.preset : 1; break;
      case OverlayCall::DrawRect: {
        const double l = call.rect.left, t = call.rect.top;
        const double w = static_cast<double>(call.rect.right) - l;
        const double h = static_cast<double>(call.rect.bottom) - t;
        if (w <= 0 || h <= 0) break;
        cairo_save(cr);
        setColor(cr, color);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        if (call.fill) {
          cairo_rectangle(cr, l, t, w, h);
          cairo_fill(cr);
        } else if (lineWidth > 0) {
          // The frame lies on the rectangle's edge pixels, inside it.
          const double inset = lineWidth / 2;
          cairo_set_line_width(cr, lineWidth);
          cairo_rectangle(cr, l + inset, t + inset, std::max(0.0, w - lineWidth),
                          std::max(0.0, h - lineWidth));
          cairo_stroke(cr);
        }
        cairo_restore(cr);
        break;
      }
      case OverlayCall::DrawText: {
        cairo_save(cr);
        setColor(cr, color);
        cairo_select_font_face(cr, overlayFontFamily(), CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, fontSizeForPreset(preset));
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        // The origin is the top-left corner of the text box; the glyphs sit centred in it.
        const double box = textHeightForPreset(preset);
        const double baseline = call.origin.v + (box - (fe.ascent + fe.descent)) / 2 + fe.ascent;
        cairo_move_to(cr, call.origin.h, baseline);
        // cairo refuses text that is not UTF-8 and would fail the whole picture; such text is
        // drawn with replacement characters instead.
        gchar* valid = g_utf8_make_valid(call.text.data(), static_cast<gssize>(call.text.size()));
        cairo_show_text(cr, valid);
        g_free(valid);
        cairo_restore(cr);
        break;
      }
    }
  }
}

bool checkSize(int width, int height, std::string* error) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    *error = "the picture's size " + std::to_string(width) + "x" + std::to_string(height) +
             " is not between 1x1 and " + std::to_string(kMaxSide) + "x" + std::to_string(kMaxSide);
    return false;
  }
  return true;
}

bool renderDrawing(cairo_t* cr, const svg::Drawing& drawing, const Document& document,
                   const ViewState& view, std::string* error) {
  // The root viewport is the canvas, or failing that the visible area, in user space.
  double x = drawing.canvasX(), y = drawing.canvasY();
  double w = drawing.canvasWidth(), h = drawing.canvasHeight();
  const svg::Affine toView = drawing.userToView(view);
  if (w <= 0 || h <= 0) {
    const svg::Affine toUser = toView.inverse();
    double x0 = 0, y0 = 0, x1 = view.width, y1 = view.height;
    toUser.apply(x0, y0);
    toUser.apply(x1, y1);
    x = std::min(x0, x1), y = std::min(y0, y1);
    w = std::max(std::fabs(x1 - x0), 1.0), h = std::max(std::fabs(y1 - y0), 1.0);
  }
  std::string text;
  if (!svg::exportSvgForView(drawing, document, x, y, w, h, &text, error)) return false;

  GInputStream* stream = g_memory_input_stream_new_from_data(text.data(),
                                                             static_cast<gssize>(text.size()), nullptr);
  GFile* base = g_file_new_for_path(drawing.name().c_str());
  GError* gerror = nullptr;
  RsvgHandle* handle =
      rsvg_handle_new_from_stream_sync(stream, base, RSVG_HANDLE_FLAGS_NONE, nullptr, &gerror);
  g_object_unref(base);
  g_object_unref(stream);
  if (handle == nullptr) {
    *error = drawing.name() + ": cannot render: " + (gerror ? gerror->message : "unknown error");
    if (gerror) g_error_free(gerror);
    return false;
  }
  cairo_save(cr);
  cairo_matrix_t m;
  cairo_matrix_init(&m, toView.a, toView.b, toView.c, toView.d, toView.e, toView.f);
  cairo_transform(cr, &m);
  const RsvgRectangle viewport{x, y, w, h};
  const gboolean ok = rsvg_handle_render_document(handle, cr, &viewport, &gerror);
  cairo_restore(cr);
  g_object_unref(handle);
  if (!ok) {
    *error = drawing.name() + ": cannot render: " + (gerror ? gerror->message : "unknown error");
    if (gerror) g_error_free(gerror);
    return false;
  }
  return true;
}

// Without a drawing: every path of the document, stroked in black.
void renderPaths(cairo_t* cr, const Document& document, const ViewState& view) {
  auto toView = [&](AIRealPoint p) {
    return std::pair<double, double>{view.width * 0.5 + (p.h - view.center.h) * view.zoom,
                                     view.height * 0.5 - (p.v - view.center.v) * view.zoom};
  };
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  for (AIArtHandle handle : document.handles()) {
    const Art* art = document.find(handle);
    if (art == nullptr || art->kind != kPathArt || art->segments.empty()) continue;
    const auto& segs = art->segments;
    auto [x0, y0] = toView(segs[0].p);
    cairo_move_to(cr, x0, y0);
    auto curve = [&](const AIPathSegment& a, const AIPathSegment& b) {
      auto [x1, y1] = toView(a.out);
      auto [x2, y2] = toView(b.in);
      auto [x3, y3] = toView(b.p);
      cairo_curve_to(cr, x1, y1, x2, y2, x3, y3);
    };
    for (std::size_t i = 1; i < segs.size(); ++i) curve(segs[i - 1], segs[i]);
    if (art->closed) {
      curve(segs.back(), segs.front());
      cairo_close_path(cr);
    }
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool renderView(const svg::Drawing* drawing, const Document& document, const ViewState& view,
                const OverlayRecording& overlay, Image* out, std::string* error) {
  if (!checkSize(view.width, view.height, error)) return false;
  if (!(view.zoom > 0) || !std::isfinite(view.zoom)) {
    *error = "the view's zoom must be a positive number";
    return false;
  }
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.width, view.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot make the picture: ") +
             cairo_status_to_string(cairo_surface_status(surface.get()));
    return false;
  }
  Context cr(cairo_create(surface.get()));
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_paint(cr.get());
  if (drawing != nullptr) {
    if (!renderDrawing(cr.get(), *drawing, document, view, error)) return false;
  } else {
    renderPaths(cr.get(), document, view);
  }
  playOverlay(cr.get(), overlay);
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot draw the picture: ") + cairo_status_to_string(cairo_status(cr.get()));
    return false;
  }
  *out = imageFrom(surface.get());
  return true;
}

bool drawOverlay(const OverlayRecording& overlay, Image* image, std::string* error) {
  if (!checkSize(image->width, image->height, error)) return false;
  if (image->pixels.size() != static_cast<std::size_t>(image->width) * image->height) {
    *error = "the image's pixels do not match its size";
    return false;
  }
  Surface surface = surfaceFrom(*image);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    *error = "cannot make a surface for the image";
    return false;
  }
  Context cr(cairo_create(surface.get()));
  playOverlay(cr.get(), overlay);
  *image = imageFrom(surface.get());
  return true;
}

bool encodePng(const Image& image, std::string* bytes, std::string* error) {
  if (!checkSize(image.width, image.height, error)) return false;
  if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
    *error = "the image's pixels do not match its size";
    return false;
  }
  Surface surface = surfaceFrom(image);
  std::string encoded;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), appendToString, &encoded);
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot encode the PNG: ") + cairo_status_to_string(status);
    return false;
  }
  *bytes = std::move(encoded);
  return true;
}

bool writePng(const Image& image, const std::string& path, std::string* error) {
  std::string bytes;
  if (!encodePng(image, &bytes, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return writeFileAtomically(path, bytes, error);
}

bool readPng(const std::string& path, Image* out, std::string* error) {
  Surface png(cairo_image_surface_create_from_png(path.c_str()));
  const cairo_status_t status = cairo_surface_status(png.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = path + ": cannot read the PNG: " +
             (status == CAIRO_STATUS_FILE_NOT_FOUND ? std::string("no such file")
                                                    : std::string(cairo_status_to_string(status)));
    return false;
  }
  const int w = cairo_image_surface_get_width(png.get());
  const int h = cairo_image_surface_get_height(png.get());
  // Whatever the file's format, hand back ARGB32.
  Surface argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  Context cr(cairo_create(argb.get()));
  cairo_set_source_surface(cr.get(), png.get(), 0, 0);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr.get());
  *out = imageFrom(argb.get());
  return true;
}

Image strip(const std::vector<Image>& frames, int gap) {
  Image out;
  gap = std::max(0, gap);
  for (const Image& f : frames) {
    out.width += f.width;
    out.height = std::max(out.height, f.height);
  }
  if (!frames.empty()) out.width += gap * static_cast<int>(frames.size() - 1);
  out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0xFFC0C0C0u);
  int x0 = 0;
  for (const Image& f : frames) {
    for (int y = 0; y < f.height; ++y) {
      std::copy_n(f.pixels.begin() + static_cast<std::ptrdiff_t>(y) * f.width, f.width,
                  out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * out.width + x0);
    }
    x0 += f.width + gap;
  }
  return out;
}

bool stripFiles(const std::vector<std::string>& pngPaths, const std::string& outPath,
                std::string* error, int gap) {
  if (pngPaths.empty()) {
    *error = "a strip needs at least one picture";
    return false;
  }
  std::vector<Image> frames;
  for (const std::string& path : pngPaths) {
    Image image;
    if (!readPng(path, &image, error)) return false;
    frames.push_back(std::move(image));
  }
  return writePng(strip(frames, gap), outPath, error);
}

}  // namespace simhost::picture
