// Pictures of the document window: the drawing as it stands (rendered from its exported SVG),
// the overlay the plug-in drew on top, in the window's pixels. Also strips of frames: several
// pictures side by side in one PNG.
#ifndef SARVELLO_SIMHOST_PICTURE_PICTURE_H
#define SARVELLO_SIMHOST_PICTURE_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/Host.h"
#include "tool/Overlay.h"

namespace simhost::svg {
class Drawing;
}

namespace simhost::picture {

// Pixels as 0xAARRGGBB, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The document window as `view` shows it: white paper, the drawing with the current geometry of
// its art, and the overlay calls played back on top. Without a drawing, every path of the
// document is stroked in black. False with *error on failure.
bool renderView(const svg::Drawing* drawing, const Document& document, const ViewState& view,
                const OverlayRecording& overlay, Image* out, std::string* error);

// Plays overlay calls back on an image (view pixels).
bool drawOverlay(const OverlayRecording& overlay, Image* image, std::string* error);

// The image as the bytes of a PNG file. False with *error ("cannot encode the PNG: reason").
bool encodePng(const Image& image, std::string* bytes, std::string* error);
bool writePng(const Image& image, const std::string& path, std::string* error);
bool readPng(const std::string& path, Image* out, std::string* error);

// Lays the images side by side, `gap` pixels of grey between them, tops aligned, into one image.
Image strip(const std::vector<Image>& frames, int gap = 8);
// Reads the PNG files and writes their strip to `outPath`.
bool stripFiles(const std::vector<std::string>& pngPaths, const std::string& outPath,
                std::string* error, int gap = 8);

}  // namespace simhost::picture

#endif
