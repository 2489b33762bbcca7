#include "PeResources.h"

#include <algorithm>
#include <cstring>

#include "Png.h"

namespace sarvello::res {
namespace {

// ---- Bounded little-endian reads ------------------------------------------------------------

// Reads at absolute offsets of a byte range; a read past the end yields 0 and clears ok().
class ByteView {
 public:
  ByteView(const Bytes& bytes, std::size_t begin = 0, std::size_t end = SIZE_MAX)
      : b_(bytes), begin_(begin), end_(std::min(end, bytes.size())) {}
  std::uint16_t u16(std::size_t at) { return std::uint16_t(get(at, 2)); }
  std::uint32_t u32(std::size_t at) { return std::uint32_t(get(at, 4)); }
  std::int16_t s16(std::size_t at) { return std::int16_t(u16(at)); }
  bool ok() const { return ok_; }
  bool has(std::size_t at, std::size_t n) const { return at >= begin_ && at <= end_ && end_ - at >= n; }
  std::size_t end() const { return end_; }

 private:
  std::uint64_t get(std::size_t at, std::size_t n) {
    if (!has(at, n)) {
      ok_ = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint64_t(b_[at + i]) << (8 * i);
    return v;
  }
  const Bytes& b_;
  std::size_t begin_;
  std::size_t end_;
  bool ok_ = true;
};

std::string upperCase(std::string text) {
  for (char& c : text) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf8(const std::u16string& units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// ---- The resource directory -----------------------------------------------------------------

constexpr std::uint32_t kHighBit = 0x80000000u;

struct Section {
  std::uint32_t address = 0;  // relative to the image's base
  std::uint32_t size = 0;     // of its data in the file
  std::uint32_t offset = 0;   // of its data in the file
};

// The file offset of `size` bytes at the image address `address`, when a section holds them.
std::optional<std::size_t> fileOffset(const std::vector<Section>& sections, std::size_t fileSize,
                                      std::uint32_t address, std::uint32_t size) {
  for (const Section& s : sections) {
    if (address < s.address || address - s.address > s.size || s.size - (address - s.address) < size) continue;
    const std::size_t at = std::size_t(s.offset) + (address - s.address);
    if (at > fileSize || fileSize - at < size) return std::nullopt;
    return at;
  }
  return std::nullopt;
}

struct Entry {
  std::uint32_t name;
  std::uint32_t target;
};

}  // namespace

std::optional<std::vector<PeResource>> readPeResources(const Bytes& file, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::vector<PeResource>> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  ByteView r(file);
  if (r.u16(0) != 0x5A4D) return fail("not a PE file (no MZ header)");
  const std::size_t pe = r.u32(0x3C);
  if (r.u32(pe) != 0x00004550 || !r.ok()) return fail("not a PE file (no PE signature)");
  const std::uint16_t sectionCount = r.u16(pe + 6);
  const std::uint16_t optionalSize = r.u16(pe + 20);
  const std::size_t optional = pe + 24;
  const std::uint16_t magic = r.u16(optional);
  if (!r.ok()) return fail("the PE file's headers are truncated");
  // The data directories follow the optional header's fixed part, whose size the magic gives.
  std::size_t directories = 0;
  if (magic == 0x20B) directories = optional + 112;
  else if (magic == 0x10B) directories = optional + 96;
  else return fail("the PE file's optional header is of an unknown kind");
  const std::uint32_t directoryCount = r.u32(directories - 4);
  const std::size_t resourceEntry = directories + 2 * 8;  // the third directory: resources
  if (resourceEntry + 8 > optional + optionalSize) return std::vector<PeResource>{};
  const std::uint32_t resourceAddress = directoryCount > 2 ? r.u32(resourceEntry) : 0;
  const std::uint32_t resourceSize = directoryCount > 2 ? r.u32(resourceEntry + 4) : 0;

  std::vector<Section> sections;
  const std::size_t table = optional + optionalSize;
  for (std::uint16_t k = 0; k < sectionCount; ++k) {
    const std::size_t h = table + 40 * std::size_t(k);
    sections.push_back(Section{r.u32(h + 12), r.u32(h + 16), r.u32(h + 20)});
  }
  if (!r.ok()) return fail("the PE file's section table is truncated");
  if (resourceAddress == 0 || resourceSize == 0) return std::vector<PeResource>{};
  const auto base = fileOffset(sections, file.size(), resourceAddress, resourceSize);
  if (!base) return fail("the resource directory lies outside the file");

  // Offsets inside the directory count from its start and must stay inside it. Tables may share
  // entries, so the entries visited are counted: a directory whose tables point at each other
  // many times over is refused instead of walked for ever.
  ByteView d(file, *base, *base + resourceSize);
  std::size_t visited = 0;
  bool tooLarge = false;
  auto entries = [&](std::uint32_t offset) {
    std::vector<Entry> out;
    const std::size_t at = *base + offset;
    const std::uint32_t n = std::uint32_t(d.u16(at + 12)) + d.u16(at + 14);
    visited += n;
    tooLarge = tooLarge || visited > kMaxPeDirectoryEntries;
    for (std::uint32_t k = 0; k < n && d.ok() && !tooLarge; ++k)
      out.push_back(Entry{d.u32(at + 16 + 8 * std::size_t(k)), d.u32(at + 20 + 8 * std::size_t(k))});
    return out;
  };
  auto label = [&](std::uint32_t field) {
    PeName name;
    if ((field & kHighBit) == 0) {
      name.number = std::uint16_t(field);
      return name;
    }
    name.named = true;
    const std::size_t at = *base + (field & ~kHighBit);
    const std::uint16_t length = d.u16(at);
    std::u16string units;
    for (std::uint16_t k = 0; k < length && d.ok(); ++k) units += char16_t(d.u16(at + 2 + 2 * std::size_t(k)));
    name.name = utf8(units);
    return name;
  };

  std::vector<PeResource> out;
  std::size_t copied = 0;
  for (const Entry& type : entries(0)) {
    if ((type.target & kHighBit) == 0) return fail("the resource directory is malformed");
    for (const Entry& id : entries(type.target & ~kHighBit)) {
      if ((id.target & kHighBit) == 0) return fail("the resource directory is malformed");
      for (const Entry& language : entries(id.target & ~kHighBit)) {
        if ((language.target & kHighBit) != 0) return fail("the resource directory is malformed");
        if (out.size() == kMaxPeResources) return fail("the file holds too many resources");
        const std::size_t at = *base + language.target;
        const std::uint32_t address = d.u32(at), size = d.u32(at + 4);
        if (!d.ok()) break;
        const auto data = fileOffset(sections, file.size(), address, size);
        if (!data) return fail("a resource lies outside the file");
        // Resources do not share bytes: more of them than the file holds is a damaged directory.
        copied += size;
        if (copied > file.size()) return fail("the resources take more room than the file has");
        PeResource resource{label(type.name), label(id.name), std::uint16_t(language.name), {}};
        resource.data.assign(file.begin() + std::ptrdiff_t(*data), file.begin() + std::ptrdiff_t(*data + size));
        out.push_back(std::move(resource));
      }
    }
  }
  if (tooLarge) return fail("the resource directory is too large");
  if (!d.ok()) return fail("the resource directory is truncated");
  return out;
}

namespace {

// ---- Templates ------------------------------------------------------------------------------

struct Failure {
  std::string why;
};

// Reads the parts of a template in order: words, zero-terminated UTF-16 strings, ordinals.
class TemplateReader {
 public:
  explicit TemplateReader(const Bytes& bytes) : c_(bytes) {}
  std::uint16_t u16() { return take<std::uint16_t>(c_.u16(at_), 2); }
  std::uint32_t u32() { return take<std::uint32_t>(c_.u32(at_), 4); }
  std::int16_t s16() { return std::int16_t(u16()); }
  std::string text() {
    std::u16string units;
    for (std::uint16_t c = u16(); c != 0; c = u16()) units += char16_t(c);
    return utf8(units);
  }
  // A string, or 0xFFFF and an ordinal: the ordinal, with *name left empty.
  std::uint16_t textOrOrdinal(std::string* name) {
    if (c_.u16(at_) == 0xFFFF) {
      u16();
      return u16();
    }
    *name = text();
    return 0;
  }
  void skip(std::size_t n) {
    if (!c_.has(at_, n)) throw Failure{"it is truncated"};
    at_ += n;
  }
  void alignTo4() { skip((4 - at_ % 4) % 4); }
  bool atEnd() const { return at_ >= c_.end(); }

 private:
  template <typename T>
  T take(T v, std::size_t n) {
    if (!c_.ok()) throw Failure{"it is truncated"};
    at_ += n;
    return v;
  }
  ByteView c_;
  std::size_t at_ = 0;
};

constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint16_t kButtonClass = 0x80;
constexpr std::uint16_t kStaticClass = 0x82;
constexpr std::uint32_t kBsTypeMask = 0x0F;
constexpr std::uint32_t kBsGroupBox = 0x07;

// Window classes are named without regard to case (resource compilers store them in upper case):
// the dialog manager's own item types in its spelling, others as they are.
std::string canonicalClass(const std::string& name) {
  static const char* const kTypes[] = {"ADM Text Static Type", "ADM Spin Edit Popup Type",
                                       "ADM Text Push Button Type", "ADM Frame Type"};
  for (const char* type : kTypes)
    if (upperCase(type) == upperCase(name)) return type;
  return name;
}

// DIALOGEX gives a dialog's and an item's help id and extended style before the style.
std::uint32_t styleAfterHelpId(TemplateReader& t) {
  t.skip(8);
  return t.u32();
}

// A dialog template (DIALOG or DIALOGEX) as the dialog manager's string list.
Bytes dialogFromTemplate(const Bytes& bytes) {
  TemplateReader t(bytes);
  // DIALOGEX starts with its version 1 and 0xFFFF, DIALOG with its style.
  const std::uint16_t first = t.u16(), second = t.u16();
  const bool extended = first == 1 && second == 0xFFFF;
  const std::uint32_t style = extended ? styleAfterHelpId(t) : first | (std::uint32_t(second) << 16);
  if (!extended) t.u32();  // extended style
  const std::uint16_t count = t.u16();
  t.s16();  // x and y: the host places the dialog
  t.s16();
  const std::int16_t width = t.s16(), height = t.s16();
  std::string menu, windowClass;
  t.textOrOrdinal(&menu);
  t.textOrOrdinal(&windowClass);
  const std::string title = t.text();
  if ((style & kDsSetFont) != 0) {
    t.u16();  // point size
    if (extended) t.skip(4);  // weight, italic, character set
    t.text();
  }
  if (width <= 0 || height <= 0) throw Failure{"its size is not positive"};
  std::vector<std::string> strings{title, std::to_string(width) + " " + std::to_string(height)};
  for (std::uint16_t k = 0; k < count; ++k) {
    t.alignTo4();
    const std::uint32_t itemStyle = extended ? styleAfterHelpId(t) : t.u32();
    if (!extended) t.u32();  // extended style
    const std::int16_t x = t.s16(), y = t.s16(), w = t.s16(), h = t.s16();
    const std::int64_t id = extended ? std::int64_t(std::int32_t(t.u32())) : std::int64_t(t.u16());
    std::string className, text;
    const std::uint16_t classOrdinal = t.textOrOrdinal(&className);
    t.textOrOrdinal(&text);
    t.skip(t.u16());  // creation data
    std::string kind = canonicalClass(className);
    if (className.empty() && classOrdinal == kButtonClass) {
      kind = (itemStyle & kBsTypeMask) == kBsGroupBox ? "ADM Frame Type" : "ADM Text Push Button Type";
    } else if (className.empty() && classOrdinal == kStaticClass) {
      kind = "ADM Text Static Type";
    } else if (className.empty()) {
      throw Failure{"item " + std::to_string(id) + " is a control of a class the dialog manager does not know"};
    }
    if (text.find('\t') != std::string::npos || kind.find('\t') != std::string::npos)
      throw Failure{"item " + std::to_string(id) + " holds a tab"};
    strings.push_back(std::to_string(id) + "\t" + kind + "\t" + std::to_string(x) + "\t" + std::to_string(y) +
                      "\t" + std::to_string(w) + "\t" + std::to_string(h) + "\t" + text);
  }
  return encodeStringList(strings);
}

constexpr std::uint16_t kMfPopup = 0x10;
constexpr std::uint16_t kMfEnd = 0x80;

// A menu template holding one popup as the dialog manager's string list: its name, its entries.
Bytes menuFromTemplate(const Bytes& bytes) {
  TemplateReader t(bytes);
  if (t.u16() != 0) throw Failure{"extended menus are not supported"};
  t.skip(t.u16());  // the header's own extra bytes
  const std::uint16_t popup = t.u16();
  if ((popup & kMfPopup) == 0) throw Failure{"it does not start with a popup"};
  std::vector<std::string> strings{t.text()};
  bool last = false;
  while (!last) {
    const std::uint16_t flags = t.u16();
    if ((flags & kMfPopup) != 0) throw Failure{"a popup inside the popup is not supported"};
    t.u16();  // the entry's id: entries are numbered by position
    strings.push_back(t.text());
    last = (flags & kMfEnd) != 0;
  }
  return encodeStringList(strings);
}

// The image of a cursor resource (hot spot, then a PNG or a 32-bit device-independent bitmap
// with its mask) as the resource file's cursor.
Bytes cursorFromImage(const Bytes& bytes) {
  ByteView c(bytes);
  Cursor cursor;
  cursor.hotX = c.u16(0);
  cursor.hotY = c.u16(2);
  if (!c.ok()) throw Failure{"it is truncated"};
  static const std::uint8_t kPngSignature[4] = {0x89, 'P', 'N', 'G'};
  if (c.has(4, 4) && std::memcmp(bytes.data() + 4, kPngSignature, 4) == 0) {
    cursor.png.assign(bytes.begin() + 4, bytes.end());
    return encodeCursor(cursor);
  }
  // BITMAPINFOHEADER: the height counts the colour rows and the mask's rows.
  const std::uint32_t headerSize = c.u32(4);
  const auto width = std::int32_t(c.u32(8)), doubledHeight = std::int32_t(c.u32(12));
  const std::uint16_t bitCount = c.u16(18);
  const std::uint32_t compression = c.u32(20), paletteSize = c.u32(36);
  if (!c.ok() || headerSize < 40) throw Failure{"its image is neither a PNG nor a bitmap"};
  if (bitCount != 32 || compression != 0 || paletteSize != 0)
    throw Failure{"only 32-bit uncompressed cursor bitmaps are supported"};
  if (width <= 0 || doubledHeight <= 0 || doubledHeight % 2 != 0 || std::uint32_t(width) > kMaxPngSide ||
      std::uint32_t(doubledHeight / 2) > kMaxPngSide)
    throw Failure{"its bitmap's size is out of range"};
  RgbaImage image;
  image.width = std::uint32_t(width);
  image.height = std::uint32_t(doubledHeight / 2);
  const std::size_t colours = 4 + std::size_t(headerSize);
  const std::size_t maskStride = (std::size_t(image.width) + 31) / 32 * 4;
  const std::size_t mask = colours + std::size_t(4) * image.width * image.height;
  if (!c.has(mask, maskStride * image.height)) throw Failure{"its bitmap is truncated"};
  image.pixels.resize(std::size_t(4) * image.width * image.height);
  bool anyAlpha = false;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::size_t row = colours + std::size_t(4) * image.width * (image.height - 1 - y);  // bottom-up
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint8_t* bgra = bytes.data() + row + 4 * std::size_t(x);
      std::uint8_t* rgba = image.pixels.data() + 4 * (std::size_t(y) * image.width + x);
      rgba[0] = bgra[2];
      rgba[1] = bgra[1];
      rgba[2] = bgra[0];
      rgba[3] = bgra[3];
      anyAlpha = anyAlpha || bgra[3] != 0;
    }
  }
  // A bitmap without alpha takes its transparency from the mask.
  if (!anyAlpha) {
    for (std::uint32_t y = 0; y < image.height; ++y) {
      const std::uint8_t* bits = bytes.data() + mask + maskStride * (image.height - 1 - y);
      for (std::uint32_t x = 0; x < image.width; ++x)
        image.pixels[4 * (std::size_t(y) * image.width + x) + 3] = (bits[x / 8] & (0x80 >> (x % 8))) ? 0 : 0xFF;
    }
  }
  cursor.png = encodePng(image);
  return encodeCursor(cursor);
}

// The plug-in's own types, stored under their names.
std::optional<std::uint32_t> namedType(const std::string& name) {
  const std::string upper = upperCase(name);
  if (upper == "PIPL") return kPiPLType;
  if (upper == "STR#") return kStringListType;
  if (upper == "PNGI") return kPNGImageType;
  return std::nullopt;
}

}  // namespace

std::optional<ResourceFile> resourcesFromPe(const Bytes& file, std::string* error) {
  const auto all = readPeResources(file, error);
  if (!all) return std::nullopt;
  auto cursorImage = [&](std::uint16_t id) -> const Bytes* {
    for (const PeResource& r : *all)
      if (!r.type.named && r.type.number == kPeCursor && !r.id.named && r.id.number == id) return &r.data;
    return nullptr;
  };
  ResourceFile out;
  for (const PeResource& r : *all) {
    if (r.id.named) continue;
    const auto id = std::int32_t(r.id.number);
    std::string what;
    try {
      if (r.type.named) {
        const auto type = namedType(r.type.name);
        if (type && out.find(*type, id) == nullptr) out.add(*type, id, r.data);
      } else if (r.type.number == kPeDialog && out.find(kDialogType, id) == nullptr) {
        what = "dialog " + std::to_string(id);
        out.add(kDialogType, id, dialogFromTemplate(r.data));
      } else if (r.type.number == kPeMenu && out.find(kMenuType, id) == nullptr) {
        what = "menu " + std::to_string(id);
        out.add(kMenuType, id, menuFromTemplate(r.data));
      } else if (r.type.number == kPeGroupCursor && out.find(kCursorType, id) == nullptr) {
        what = "cursor " + std::to_string(id);
        ByteView group(r.data);
        if (group.u16(2) != 2 || group.u16(4) == 0 || !group.ok()) throw Failure{"it is not a cursor group"};
        const Bytes* image = cursorImage(group.u16(6 + 12));
        if (image == nullptr || !group.ok()) throw Failure{"its image is missing"};
        out.add(kCursorType, id, cursorFromImage(*image));
      }
    } catch (const Failure& f) {
      if (error != nullptr) *error = "its resources are damaged: " + what + ": " + f.why;
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace sarvello::res
