#include "tool/ToolSuites.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <stdexcept>

#include "HostImpl.h"

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

template <class Record, class H>
Record* findRecord(std::vector<Record>& records, Kind kind, H handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value >> kKindShift) != static_cast<std::uintptr_t>(kind)) return nullptr;
  const std::uintptr_t index = value & ((std::uintptr_t{1} << kKindShift) - 1);
  if (index == 0 || index > records.size()) return nullptr;
  return &records[index - 1];
}

// Runs a suite function's body as hostCall does, with the current host's tool state, which
// must have been installed.
template <class Body>
ASErr toolCall(const char* operation, Body&& body) {
  Host* host = Host::current();
  if (host == nullptr || host->toolSide == nullptr) return kCantHappenErr;
  return hostCall(operation, [&](Host& current, HostState&) -> ASErr {
    return body(current, *static_cast<ToolState*>(current.toolSide.get()));
  });
}

// ---- AI Menu ------------------------------------------------------------------------------

ASErr AIAPI addMenuItem(SPPluginRef self, const char* name, const AIPlatformAddMenuItemDataUS* data,
                        int32_t options, AIMenuItemHandle* menuItem) {
  return toolCall("AIMenu.AddMenuItem", [&](Host& host, ToolState& state) -> ASErr {
    if (name == nullptr || data == nullptr || data->groupName == nullptr || menuItem == nullptr)
      return kBadParameterErr;
    if (data->itemText != nullptr && !host.stringValid(data->itemText)) return kBadParameterErr;
    MenuItemRecord item;
    item.plugin = self;
    item.name = name;
    item.group = data->groupName;
    item.text = host.text(data->itemText);
    item.options = options;
    item.handle = makeHandle<AIMenuItemHandle>(Kind::Menu, state.menuItems.size());
    state.menuItems.push_back(item);
    *menuItem = item.handle;
    return kNoErr;
  });
}

AIMenuSuite gMenuSuite = {addMenuItem};

// ---- AI Tool ------------------------------------------------------------------------------

ASErr AIAPI addTool(SPPluginRef self, const char* name, const AIAddToolData* data, int32_t options,
                    AIToolHandle* tool) {
  return toolCall("AITool.AddTool", [&](Host&, ToolState& state) -> ASErr {
    if (name == nullptr || data == nullptr || data->title == nullptr || tool == nullptr)
      return kBadParameterErr;
    if (data->icon != nullptr && state.findIcon(data->icon) == nullptr) return kBadParameterErr;
    ToolRecord record;
    record.plugin = self;
    record.name = name;
    record.title = data->title;
    record.tooltip = data->tooltip != nullptr ? data->tooltip : "";
    record.icon = data->icon;
    record.sameGroupAs = data->sameGroupAs;
    record.sameToolsetAs = data->sameToolsetAs;
    record.options = options;
    record.handle = makeHandle<AIToolHandle>(Kind::Tool, state.tools.size());
    state.tools.push_back(record);
    *tool = record.handle;
    return kNoErr;
  });
}

AIToolSuite gToolSuite = {addTool};

// ---- ADM Icon -----------------------------------------------------------------------------

// An icon from the plug-in's icon resource, which holds a PNG image; of unknown type when the
// resource is missing or is no PNG.
IconRecord makeIcon(Host& host, SPPluginRef plugin, const char* name, int32_t iconType,
                    int32_t resourceID) {
  IconRecord icon;
  icon.plugin = plugin;
  icon.name = name != nullptr ? name : "";
  icon.requestedType = iconType;
  icon.resourceID = resourceID;
  if (!host.resource) return icon;
  const std::vector<std::uint8_t>* bytes = host.resource(plugin, kIconResourceType, resourceID);
  if (bytes == nullptr) return icon;
  if (!pngSize(*bytes, &icon.width, &icon.height)) return icon;
  icon.png = *bytes;
  icon.type = kADMPNGIconType;
  return icon;
}

ADMIconRef ADMAPI iconGetFromResource(SPPluginRef plugin, const char* name, int32_t iconType,
                                      int32_t resourceID) {
  ADMIconRef result = nullptr;
  const ASErr err =
      toolCall("ADMIcon.GetFromResource", [&](Host& host, ToolState& state) -> ASErr {
        IconRecord icon = makeIcon(host, plugin, name, iconType, resourceID);
        icon.handle = makeHandle<ADMIconRef>(Kind::Icon, state.icons.size());
        state.icons.push_back(icon);
        result = icon.handle;
        return kNoErr;
      });
  // The icon suite answers no codes: a host that cannot make the icon hands out none, whose type
  // is unknown.
  return err == kNoErr ? result : nullptr;
}

int32_t ADMAPI iconGetType(ADMIconRef icon) {
  int32_t type = kADMUnknownIconType;
  toolCall("ADMIcon.GetType", [&](Host&, ToolState& state) -> ASErr {
    if (const IconRecord* record = state.findIcon(icon)) type = record->type;
    return kNoErr;
  });
  return type;
}

ADMIconSuite gIconSuite = {iconGetFromResource, iconGetType};

// ---- AI Timer -----------------------------------------------------------------------------

ASErr AIAPI addTimer(SPPluginRef self, const char* name, int32_t period, AITimerHandle* timer) {
  return toolCall("AITimer.AddTimer", [&](Host&, ToolState& state) -> ASErr {
    if (name == nullptr || timer == nullptr || period < 1) return kBadParameterErr;
    TimerRecord record;
    record.plugin = self;
    record.name = name;
    record.period = period;
    record.handle = makeHandle<AITimerHandle>(Kind::Timer, state.timers.size());
    state.timers.push_back(record);
    *timer = record.handle;
    return kNoErr;
  });
}

ASErr AIAPI setTimerActive(AITimerHandle timer, AIBoolean active) {
  return toolCall("AITimer.SetTimerActive", [&](Host&, ToolState& state) -> ASErr {
    TimerRecord* record = state.findTimer(timer);
    if (record == nullptr) return kNoSuchObjectErr;
    record->active = active != 0;
    return kNoErr;
  });
}

AITimerSuite gTimerSuite = {addTimer, setTimerActive};

// ---- AI Annotator (1004) ------------------------------------------------------------------

ASErr AIAPI addAnnotator(SPPluginRef self, const char* name, AIAnnotatorHandle* annotator) {
  return toolCall("AIAnnotator.AddAnnotator", [&](Host&, ToolState& state) -> ASErr {
    if (name == nullptr || annotator == nullptr) return kBadParameterErr;
    AnnotatorRecord record;
    record.plugin = self;
    record.name = name;
    record.handle = makeHandle<AIAnnotatorHandle>(Kind::Annotator, state.annotators.size());
    state.annotators.push_back(record);
    *annotator = record.handle;
    return kNoErr;
  });
}

ASErr AIAPI setAnnotatorActive(AIAnnotatorHandle annotator, AIBoolean active) {
  return toolCall("AIAnnotator.SetAnnotatorActive", [&](Host&, ToolState& state) -> ASErr {
    AnnotatorRecord* record = state.findAnnotator(annotator);
    if (record == nullptr) return kNoSuchObjectErr;
    record->active = active != 0;
    return kNoErr;
  });
}

ASErr AIAPI getAnnotatorActive(AIAnnotatorHandle annotator, AIBoolean* active) {
  return toolCall("AIAnnotator.GetAnnotatorActive", [&](Host&, ToolState& state) -> ASErr {
    if (active == nullptr) return kBadParameterErr;
    const AnnotatorRecord* record = state.findAnnotator(annotator);
    if (record == nullptr) return kNoSuchObjectErr;
    *active = record->active ? 1 : 0;
    return kNoErr;
  });
}

ASErr AIAPI invalAnnotationRect(AIDocumentViewHandle view, const AIRect* rect) {
  return toolCall("AIAnnotator.InvalAnnotationRect", [&](Host& host, ToolState& state) -> ASErr {
    if (rect == nullptr) return kBadParameterErr;
    if (!host.view().open) return kNoDocumentErr;
    if (view != nullptr && view != host.viewHandle()) return kNoSuchObjectErr;
    state.invalidate(*rect, host.view());
    return kNoErr;
  });
}

AIAnnotatorSuite gAnnotatorSuite = {addAnnotator, setAnnotatorActive, getAnnotatorActive,
                                    invalAnnotationRect};

// ---- AI Annotator drawer (1001) -----------------------------------------------------------

// Runs a drawing call on a drawer the host handed out with an "AI Draw".
template <class Body>
ASErr drawCall(const char* operation, AIAnnotatorDrawer* drawer, Body&& body) {
  return toolCall(operation, [&](Host& host, ToolState&) -> ASErr {
    if (drawer == nullptr || drawer->recording == nullptr) return kBadParameterErr;
    return body(host, *drawer);
  });
}

ASErr AIAPI drawerSetColor(AIAnnotatorDrawer* drawer, const AIRGBColor* color) {
  return drawCall("AIAnnotatorDrawer.SetColor", drawer, [&](Host&, AIAnnotatorDrawer& d) -> ASErr {
    if (color == nullptr) return kBadParameterErr;
    OverlayCall call;
    call.kind = OverlayCall::SetColor;
    call.color = *color;
    d.recording->push_back(call);
    return kNoErr;
  });
}

ASErr AIAPI drawerSetLineWidth(AIAnnotatorDrawer* drawer, AIReal width) {
  return drawCall("AIAnnotatorDrawer.SetLineWidth", drawer,
                  [&](Host&, AIAnnotatorDrawer& d) -> ASErr {
                    if (!(width >= 0.0f) || width > 1000.0f) return kBadParameterErr;
                    OverlayCall call;
                    call.kind = OverlayCall::SetLineWidth;
                    call.lineWidth = width;
                    d.recording->push_back(call);
                    return kNoErr;
                  });
}

ASErr AIAPI drawerDrawRect(AIAnnotatorDrawer* drawer, const AIRect* rect, AIBoolean fill) {
  return drawCall("AIAnnotatorDrawer.DrawRect", drawer, [&](Host&, AIAnnotatorDrawer& d) -> ASErr {
    if (rect == nullptr) return kBadParameterErr;
    OverlayCall call;
    call.kind = OverlayCall::DrawRect;
    call.rect = *rect;
    call.fill = fill != 0;
    d.recording->push_back(call);
    return kNoErr;
  });
}

ASErr AIAPI drawerSetFontPreset(AIAnnotatorDrawer* drawer, int32_t preset) {
  return drawCall("AIAnnotatorDrawer.SetFontPreset", drawer,
                  [&](Host&, AIAnnotatorDrawer& d) -> ASErr {
                    OverlayCall call;
                    call.kind = OverlayCall::SetFontPreset;
                    call.preset = preset;
                    d.recording->push_back(call);
                    d.preset = knownFontPreset(preset) ? preset : 1;
                    return kNoErr;
                  });
}

ASErr AIAPI drawerGetTextHeight(AIAnnotatorDrawer* drawer, AIReal* height) {
  return drawCall("AIAnnotatorDrawer.GetTextHeight", drawer,
                  [&](Host&, AIAnnotatorDrawer& d) -> ASErr {
                    if (height == nullptr) return kBadParameterErr;
                    *height = textHeightForPreset(d.preset);
                    return kNoErr;
                  });
}

ASErr AIAPI drawerDrawText(AIAnnotatorDrawer* drawer, AIUnicodeStringHandle text,
                           const AIPoint* origin) {
  return drawCall("AIAnnotatorDrawer.DrawText", drawer,
                  [&](Host& host, AIAnnotatorDrawer& d) -> ASErr {
                    if (origin == nullptr) return kBadParameterErr;
                    if (text != nullptr && !host.stringValid(text)) return kBadParameterErr;
                    OverlayCall call;
                    call.kind = OverlayCall::DrawText;
                    call.text = host.text(text);
                    call.origin = *origin;
                    d.recording->push_back(call);
                    return kNoErr;
                  });
}

AIAnnotatorDrawerSuite gDrawerSuite = {drawerSetColor,      drawerSetLineWidth,
                                       drawerDrawRect,      drawerSetFontPreset,
                                       drawerGetTextHeight, drawerDrawText};

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

void installToolSuites(Host& host) {
  if (!host.toolSide) host.toolSide = std::make_shared<ToolState>();
  host.addSuite(kAIMenuSuite, kAIMenuSuiteVersion, &gMenuSuite);
  host.addSuite(kAIToolSuite, kAIToolSuiteVersion, &gToolSuite);
  host.addSuite(kADMIconSuite, kADMIconSuiteVersion, &gIconSuite);
  host.addSuite(kAITimerSuite, kAITimerSuiteVersion, &gTimerSuite);
  host.addSuite(kAIAnnotatorSuite, kAIAnnotatorSuiteVersion, &gAnnotatorSuite);
  host.addSuite(kAIAnnotatorSuite, kAIAnnotatorDrawerSuiteVersion, &gDrawerSuite);
}

ToolState& toolState(Host& host) {
  auto* state = static_cast<ToolState*>(host.toolSide.get());
  if (state == nullptr) throw std::logic_error("the tool suites are not installed on this host");
  return *state;
}

}  // namespace simhost
