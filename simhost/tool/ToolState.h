// The tool side's model: everything the plug-in registers through the menu, tool, icon, timer and
// annotator suites (suites/AIToolSuites.cpp, suites/ADMBasicSuites.cpp) is recorded here, so that
// the event loop can drive it and tests can look at it.
#ifndef SARVELLO_SIMHOST_TOOL_TOOLSTATE_H
#define SARVELLO_SIMHOST_TOOL_TOOLSTATE_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/Host.h"
#include "tool/Overlay.h"

namespace simhost {

struct MenuItemRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  std::string group;
  std::string text;
  int32_t options = 0;
  AIMenuItemHandle handle = nullptr;
};

struct IconRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  int32_t requestedType = 0;  // the type the plug-in asked for
  int32_t resourceID = 0;
  int32_t type = kADMUnknownIconType;  // kADMPNGIconType when the resource is a valid PNG
  int32_t width = 0;
  int32_t height = 0;
  std::vector<std::uint8_t> png;  // the image, when there is one
  ADMIconRef handle = nullptr;
};

struct ToolRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  std::string title;
  std::string tooltip;
  ADMIconRef icon = nullptr;
  int16_t sameGroupAs = 0;
  int16_t sameToolsetAs = 0;
  int32_t options = 0;
  AIToolHandle handle = nullptr;
};

struct TimerRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  int32_t period = 1;  // in ticks of 1/60 s
  bool active = true;  // a new timer runs until it is set inactive
  AITimerHandle handle = nullptr;
};

struct AnnotatorRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  bool active = true;  // a new annotator is active until it is set inactive
  AIAnnotatorHandle handle = nullptr;
};

// The tool side's part of the host state (Host::tools()).
struct ToolState {
  std::vector<MenuItemRecord> menuItems;
  std::vector<IconRecord> icons;
  std::vector<ToolRecord> tools;
  std::vector<TimerRecord> timers;
  std::vector<AnnotatorRecord> annotators;

  // The parts of the view that annotators asked to have redrawn since the last redraw, clipped
  // to the window; empty rectangles are dropped.
  std::vector<Rect> invalidRects;

  bool invalid() const { return !invalidRects.empty(); }
  // The smallest rectangle holding every invalid rectangle (all zero when nothing is invalid).
  Rect invalidBounds() const;
  // Marks a view rectangle for redrawing (clipped to the window of `view`).
  void invalidate(const Rect& rect, const ViewState& view);

  // Records a registration and answers the handle made for it. A handle carries its kind, so
  // that a handle of one kind is never taken for another, and a made-up one is not found.
  AIMenuItemHandle add(MenuItemRecord item);
  ADMIconRef add(IconRecord icon);
  AIToolHandle add(ToolRecord tool);
  AITimerHandle add(TimerRecord timer);
  AIAnnotatorHandle add(AnnotatorRecord annotator);

  MenuItemRecord* findMenuItem(AIMenuItemHandle handle);
  IconRecord* findIcon(ADMIconRef handle);
  ToolRecord* findTool(AIToolHandle handle);
  TimerRecord* findTimer(AITimerHandle handle);
  AnnotatorRecord* findAnnotator(AIAnnotatorHandle handle);
};

// An icon made from the plug-in's icon resource, which holds a PNG image (a Windows module, which
// has none, ships the PNG tool image with the next id instead); of unknown type when the resource
// is missing or is no PNG.
IconRecord iconFromResource(Host& host, SPPluginRef plugin, const char* name, int32_t iconType,
                            int32_t resourceID);

// Resource type of the plug-in's icons (a PNG image), read through Host::resource.
inline constexpr std::uint32_t kIconResourceType = AS_FOURCC('I', 'C', 'O', 'N');
// A Windows module ships its tool's icon as a PNG tool image with the next id.
inline constexpr std::uint32_t kToolImageResourceType = AS_FOURCC('P', 'N', 'G', 'I');

// Width and height of a PNG image when the bytes are a well-formed PNG header (signature and an
// intact IHDR chunk with a size above zero); false otherwise.
bool pngSize(const std::vector<std::uint8_t>& bytes, int32_t* width, int32_t* height);

}  // namespace simhost

// The drawer handed to the plug-in with each "AI Draw": it records every drawing call.
struct _t_AIAnnotatorDrawer {
  simhost::OverlayRecording* recording = nullptr;
  int32_t preset = 1;  // the font of GetTextHeight
};

#endif
