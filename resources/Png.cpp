#include "Png.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace sarvello::res {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kColourRgba = 6;

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void putBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

std::uint32_t chunkCrc(const std::uint8_t* typeAndData, std::size_t n) {
  return std::uint32_t(::crc32(::crc32(0L, Z_NULL, 0), typeAndData, uInt(n)));
}

std::uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return std::uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Inflates exactly `expected` bytes; false when the stream is damaged or of another length.
bool inflateExactly(const std::vector<std::uint8_t>& in, std::size_t expected, std::vector<std::uint8_t>* out) {
  out->assign(expected, 0);
  z_stream z{};
  if (::inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  z.next_out = out->data();
  z.avail_out = uInt(expected);
  const int result = ::inflate(&z, Z_FINISH);
  const bool whole = result == Z_STREAM_END && z.avail_out == 0;
  ::inflateEnd(&z);
  return whole;
}

}  // namespace

std::optional<RgbaImage> decodePng(const std::vector<std::uint8_t>& png, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<RgbaImage> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return fail("not a PNG image");
  std::uint32_t width = 0, height = 0;
  std::uint8_t colour = 0;
  std::vector<std::uint8_t> compressed;
  bool header = false, end = false;
  for (std::size_t at = 8; !end;) {
    if (png.size() - at < 12) return fail("the PNG image is truncated");
    const std::uint32_t length = bigEndian32(&png[at]);
    if (length > png.size() - at - 12) return fail("the PNG image is truncated");
    const std::uint8_t* type = &png[at + 4];
    const std::uint8_t* data = type + 4;
    if (chunkCrc(type, 4 + std::size_t(length)) != bigEndian32(data + length))
      return fail("a chunk of the PNG image is damaged");
    if (!header && std::memcmp(type, "IHDR", 4) != 0) return fail("the PNG image does not start with its header");
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (header || length != 13) return fail("the PNG image has a malformed header");
      width = bigEndian32(data);
      height = bigEndian32(data + 4);
      colour = data[9];
      if (data[8] != 8 || (colour != kColourRgb && colour != kColourRgba) || data[10] != 0 ||
          data[11] != 0 || data[12] != 0)
        return fail("only 8-bit, non-interlaced RGB and RGBA PNG images are supported");
      if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide)
        return fail("the PNG image's size is out of range");
      header = true;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      compressed.insert(compressed.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      end = true;
    } else if ((type[0] & 0x20) == 0) {
      return fail("the PNG image has a critical chunk this reader does not know");
    }
    at += 12 + std::size_t(length);
  }

  const std::size_t channels = colour == kColourRgba ? 4 : 3;
  const std::size_t stride = channels * width;
  std::vector<std::uint8_t> raw;
  if (!inflateExactly(compressed, (stride + 1) * height, &raw)) return fail("the PNG image's data is damaged");

  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(std::size_t(4) * width * height);
  std::vector<std::uint8_t> previous(stride, 0), line(stride);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = &raw[y * (stride + 1)];
    const std::uint8_t filter = row[0];
    if (filter > 4) return fail("the PNG image uses an unknown filter");
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= channels ? line[i - channels] : 0;
      const int b = previous[i];
      const int c = i >= channels ? previous[i - channels] : 0;
      const int predictor = filter == 0   ? 0
                            : filter == 1 ? a
                            : filter == 2 ? b
                            : filter == 3 ? (a + b) / 2
                                          : paeth(a, b, c);
      line[i] = std::uint8_t(row[1 + i] + predictor);
    }
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* out = &image.pixels[(std::size_t(y) * width + x) * 4];
      std::memcpy(out, &line[x * channels], 3);
      out[3] = channels == 4 ? line[x * channels + 3] : 0xFF;
    }
    previous.swap(line);
  }
  return image;
}

std::vector<std::uint8_t> encodePng(const RgbaImage& image) {
  std::vector<std::uint8_t> raw;
  const std::size_t stride = std::size_t(4) * image.width;
  raw.reserve((stride + 1) * image.height);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    raw.push_back(0);  // no filter
    const auto row = image.pixels.begin() + std::ptrdiff_t(y * stride);
    raw.insert(raw.end(), row, row + std::ptrdiff_t(stride));
  }
  uLongf packedSize = ::compressBound(uLong(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  ::compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION);
  packed.resize(packedSize);

  std::vector<std::uint8_t> png(kSignature, kSignature + 8);
  auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    putBigEndian32(png, std::uint32_t(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    putBigEndian32(png, chunkCrc(&png[start], png.size() - start));
  };
  std::vector<std::uint8_t> header;
  putBigEndian32(header, image.width);
  putBigEndian32(header, image.height);
  header.insert(header.end(), {8, kColourRgba, 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
}

}  // namespace sarvello::res
