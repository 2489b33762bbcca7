// The application's suites of the tool side: AI Menu, AI Tool, AI Timer, AI Annotator (1004)
// and the annotator drawer (AI Annotator 1001), over the tool side's model (tool/ToolState.h).
#include "core/HostImpl.h"
#include "suites/Suites.h"
#include "tool/ToolState.h"

namespace simhost {
namespace {

// Runs a suite function's body as hostCall does, with the current host's tool state.
template <class Body>
ASErr toolCall(const char* operation, Body&& body) {
  return hostCall(operation, [&](Host& host, HostState& impl) -> ASErr {
    return body(host, impl.tools);
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
    *menuItem = state.add(item);
    return kNoErr;
  });
}

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
    *tool = state.add(record);
    return kNoErr;
  });
}

// ---- AI Timer -----------------------------------------------------------------------------

ASErr AIAPI addTimer(SPPluginRef self, const char* name, int32_t period, AITimerHandle* timer) {
  return toolCall("AITimer.AddTimer", [&](Host&, ToolState& state) -> ASErr {
    if (name == nullptr || timer == nullptr || period < 1) return kBadParameterErr;
    TimerRecord record;
    record.plugin = self;
    record.name = name;
    record.period = period;
    *timer = state.add(record);
    return kNoErr;
  });
}

// Timers and annotators are switched on and off alike: kNoSuchObjectErr for a handle not handed
// out.
template <class Find>
ASErr setActive(const char* operation, AIBoolean active, Find&& find) {
  return toolCall(operation, [&](Host&, ToolState& state) -> ASErr {
    auto* record = find(state);
    if (record == nullptr) return kNoSuchObjectErr;
    record->active = active != 0;
    return kNoErr;
  });
}

ASErr AIAPI setTimerActive(AITimerHandle timer, AIBoolean active) {
  return setActive("AITimer.SetTimerActive", active,
                   [&](ToolState& state) { return state.findTimer(timer); });
}

// ---- AI Annotator (1004) ------------------------------------------------------------------

ASErr AIAPI addAnnotator(SPPluginRef self, const char* name, AIAnnotatorHandle* annotator) {
  return toolCall("AIAnnotator.AddAnnotator", [&](Host&, ToolState& state) -> ASErr {
    if (name == nullptr || annotator == nullptr) return kBadParameterErr;
    AnnotatorRecord record;
    record.plugin = self;
    record.name = name;
    *annotator = state.add(record);
    return kNoErr;
  });
}

ASErr AIAPI setAnnotatorActive(AIAnnotatorHandle annotator, AIBoolean active) {
  return setActive("AIAnnotator.SetAnnotatorActive", active,
                   [&](ToolState& state) { return state.findAnnotator(annotator); });
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

}  // namespace

const AIMenuSuite kAIMenuTable = {addMenuItem};
const AIToolSuite kAIToolTable = {addTool};
const AITimerSuite kAITimerTable = {addTimer, setTimerActive};
const AIAnnotatorSuite kAIAnnotatorTable = {addAnnotator, setAnnotatorActive, getAnnotatorActive,
                                            invalAnnotationRect};
const AIAnnotatorDrawerSuite kAIAnnotatorDrawerTable = {drawerSetColor,      drawerSetLineWidth,
                                                        drawerDrawRect,      drawerSetFontPreset,
                                                        drawerGetTextHeight, drawerDrawText};

}  // namespace simhost
