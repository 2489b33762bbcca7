// PNG images as the resources hold them: 8-bit, non-interlaced, RGBA or RGB. The resource
// compiler decodes the tool cursor to write it as a Windows cursor, and the host encodes a
// Windows cursor's pixels back into a PNG.
#ifndef SARVELLO_RESOURCES_PNG_H
#define SARVELLO_RESOURCES_PNG_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sarvello::res {

// Pixels as red, green, blue, alpha bytes, rows from the top.
struct RgbaImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // 4 * width * height bytes
};

// Images larger than this on either side are refused.
inline constexpr std::uint32_t kMaxPngSide = 4096;

// Decodes an 8-bit, non-interlaced RGBA or RGB PNG; none, and the reason in *error, for anything
// else or a damaged file.
std::optional<RgbaImage> decodePng(const std::vector<std::uint8_t>& png, std::string* error);
// Encodes the image as an 8-bit RGBA PNG.
std::vector<std::uint8_t> encodePng(const RgbaImage& image);

}  // namespace sarvello::res

#endif
