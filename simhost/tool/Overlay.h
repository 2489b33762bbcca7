// The overlay as the plug-in drew it: the annotator drawer records every drawing call in view
// pixels, and the picture renderer plays the recording back on top of the document.
//
// The host's text metrics live here so that the drawer (which answers GetTextHeight) and the
// renderer (which draws the text) agree: a font preset is a sans-serif face of a fixed pixel size,
// and a text's origin point is the top-left corner of its text box, which is textHeightForPreset
// pixels tall. The status line drawn at bottom - trunc(h + 5) thus ends 5 pixels above the
// square's bottom edge.
#ifndef SARVELLO_SIMHOST_PICTURE_OVERLAY_H
#define SARVELLO_SIMHOST_PICTURE_OVERLAY_H

#include <cstdint>
#include <string>
#include <vector>

#include "HostAPI.h"

namespace simhost {

struct OverlayCall {
  enum Kind { SetColor, SetLineWidth, DrawRect, SetFontPreset, DrawText };
  Kind kind = SetColor;
  AIRGBColor color{0, 0, 0};  // SetColor
  float lineWidth = 1.0f;     // SetLineWidth
  Rect rect{};                // DrawRect, view pixels
  bool fill = false;          // DrawRect
  int32_t preset = 1;         // SetFontPreset
  std::string text;           // DrawText, UTF-8
  Point origin{};             // DrawText: top-left corner of the text box, view pixels
};

// The calls of one overlay draw, in order. The drawing state (colour black, line width 1, font
// preset 1) starts afresh at the beginning of each recording.
using OverlayRecording = std::vector<OverlayCall>;

// The font presets the drawer offers. An unknown preset draws with preset 1.
bool knownFontPreset(int preset);
// Pixel size of the preset's font (preset 1: 11 px).
float fontSizeForPreset(int preset);
// Height of a text box in the preset's font, in view pixels (preset 1: 13 px).
float textHeightForPreset(int preset);
// The font family every preset uses.
const char* overlayFontFamily();

}  // namespace simhost

#endif
