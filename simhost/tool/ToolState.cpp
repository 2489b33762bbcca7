// The tool side's model: what the plug-in registered (menu items, tools, icons, timers,
// annotators) and the parts of the view it asked to have redrawn.
#include "tool/ToolState.h"

#include <algorithm>
#include <array>

namespace simhost {
namespace {

// Handles of the tool side carry their kind in the top byte of a small number and the record's
// index + 1 below it, so that a handle of one kind is never taken for another and a made-up
// handle is simply not found.
enum class Kind : std::uintptr_t { Menu = 1, Icon = 2, Tool = 3, Timer = 4, Annotator = 5 };
constexpr int kKindShift = 24;

template <class H>
H makeHandle(Kind kind, std::size_t index) {
  return reinterpret_cast<H>((static_cast<std::uintptr_t>(kind) << kKindShift) |
                             static_cast<std::uintptr_t>(index + 1));
}

template <class Record>
decltype(Record::handle) addRecord(std::vector<Record>& records, Kind kind, Record record) {
  record.handle = makeHandle<decltype(Record::handle)>(kind, records.size());
  records.push_back(std::move(record));
  return records.back().handle;
}

template <class Record, class H>
Record* findRecord(std::vector<Record>& records, Kind kind, H handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value >> kKindShift) != static_cast<std::uintptr_t>(kind)) return nullptr;
  const std::uintptr_t index = value & ((std::uintptr_t{1} << kKindShift) - 1);
  if (index == 0 || index > records.size()) return nullptr;
  return &records[index - 1];
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace

IconRecord iconFromResource(Host& host, SPPluginRef plugin, const char* name, int32_t iconType,
                    int32_t resourceID) {
  IconRecord icon;
  icon.plugin = plugin;
  icon.name = name != nullptr ? name : "";
  icon.requestedType = iconType;
  icon.resourceID = resourceID;
  if (!host.resource) return icon;
  const std::vector<std::uint8_t>* bytes = host.resource(plugin, kIconResourceType, resourceID);
  if (bytes == nullptr && resourceID < INT32_MAX)
    bytes = host.resource(plugin, kToolImageResourceType, resourceID + 1);
  if (bytes == nullptr) return icon;
  if (!pngSize(*bytes, &icon.width, &icon.height)) return icon;
  icon.png = *bytes;
  icon.type = kADMPNGIconType;
  return icon;
}

bool pngSize(const std::vector<std::uint8_t>& bytes, int32_t* width, int32_t* height) {
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  // Signature, then the IHDR chunk: length 13, type, 13 bytes of data, CRC.
  if (bytes.size() < 8 + 4 + 4 + 13 + 4) return false;
  if (!std::equal(signature, signature + 8, bytes.begin())) return false;
  const std::uint8_t* chunk = bytes.data() + 8;
  if (bigEndian32(chunk) != 13) return false;
  if (!std::equal(chunk + 4, chunk + 8, reinterpret_cast<const std::uint8_t*>("IHDR"))) return false;
  if (crc32(chunk + 4, 4 + 13) != bigEndian32(chunk + 8 + 13)) return false;
  const std::uint32_t w = bigEndian32(chunk + 8);
  const std::uint32_t h = bigEndian32(chunk + 12);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

Rect ToolState::invalidBounds() const {
  Rect bounds{};
  bool first = true;
  for (const Rect& r : invalidRects) {
    if (first) {
      bounds = r;
      first = false;
      continue;
    }
    bounds.left = std::min(bounds.left, r.left);
    bounds.top = std::min(bounds.top, r.top);
    bounds.right = std::max(bounds.right, r.right);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
  }
  return bounds;
}

void ToolState::invalidate(const Rect& rect, const ViewState& view) {
  Rect clipped = rect;
  clipped.left = std::max<int32_t>(clipped.left, 0);
  clipped.top = std::max<int32_t>(clipped.top, 0);
  clipped.right = std::min<int32_t>(clipped.right, view.width);
  clipped.bottom = std::min<int32_t>(clipped.bottom, view.height);
  if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return;
  invalidRects.push_back(clipped);
}

MenuItemRecord* ToolState::findMenuItem(AIMenuItemHandle handle) {
  return findRecord(menuItems, Kind::Menu, handle);
}
IconRecord* ToolState::findIcon(ADMIconRef handle) { return findRecord(icons, Kind::Icon, handle); }
ToolRecord* ToolState::findTool(AIToolHandle handle) { return findRecord(tools, Kind::Tool, handle); }
TimerRecord* ToolState::findTimer(AITimerHandle handle) {
  return findRecord(timers, Kind::Timer, handle);
}
AnnotatorRecord* ToolState::findAnnotator(AIAnnotatorHandle handle) {
  return findRecord(annotators, Kind::Annotator, handle);
}


AIMenuItemHandle ToolState::add(MenuItemRecord item) {
  return addRecord(menuItems, Kind::Menu, std::move(item));
}
ADMIconRef ToolState::add(IconRecord icon) { return addRecord(icons, Kind::Icon, std::move(icon)); }
AIToolHandle ToolState::add(ToolRecord tool) { return addRecord(tools, Kind::Tool, std::move(tool)); }
AITimerHandle ToolState::add(TimerRecord timer) {
  return addRecord(timers, Kind::Timer, std::move(timer));
}
AIAnnotatorHandle ToolState::add(AnnotatorRecord annotator) {
  return addRecord(annotators, Kind::Annotator, std::move(annotator));
}

}  // namespace simhost
