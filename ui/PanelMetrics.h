// The panels' sizes and placement, which differ between the application's Windows build and its
// macOS build (a Linux build takes the macOS sizes).
#ifndef SARVELLO_UI_PANELMETRICS_H
#define SARVELLO_UI_PANELMETRICS_H

#include "HostAPI.h"

struct PanelMetrics {
  // Parameter panel: its default size, the upward shift of its location, and the bounds rule
  // (the stored width less widthAdjust, a fixed height).
  int defaultWidth;
  int defaultHeight;
  int locationShift;
  int widthAdjust;
  int height;
  // Information panel: the right and bottom of its bounds.
  int infoRight;
  int infoBottom;
};

inline constexpr PanelMetrics kWindowsPanels{204, 101, 6, 15, 200, 380, 430};
inline constexpr PanelMetrics kMacPanels{200, 95, 0, 0, 207, 390, 400};
inline constexpr PanelMetrics kPanels = SARVELLO_WINDOWS_VARIANT ? kWindowsPanels : kMacPanels;

#endif
