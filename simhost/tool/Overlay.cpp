// The text metrics of the host's annotation drawer.
#include "tool/Overlay.h"

#include <cmath>

namespace simhost {

namespace {

struct Preset {
  float size;    // font size in pixels
  float height;  // text box height in pixels: the line height of the font, rounded up
};

// Preset 0 is the small font, 1 the normal one the status line uses, 2 the large one.
constexpr Preset kPresets[] = {{9.0f, 11.0f}, {11.0f, 13.0f}, {13.0f, 16.0f}};

const Preset& preset(int p) { return kPresets[knownFontPreset(p) ? p : 1]; }

}  // namespace

bool knownFontPreset(int p) { return p >= 0 && p < static_cast<int>(std::size(kPresets)); }
float fontSizeForPreset(int p) { return preset(p).size; }
float textHeightForPreset(int p) { return preset(p).height; }
const char* overlayFontFamily() { return "DejaVu Sans"; }

}  // namespace simhost
