// The panels' sizes and placement, which differ between the application's Windows build and its
// macOS build (a Linux build takes the macOS sizes).
#ifndef SARVELLO_UI_PANELMETRICS_H
#define SARVELLO_UI_PANELMETRICS_H

#include "HostAPI.h"

#if SARVELLO_WINDOWS_VARIANT
// Parameter panel: default size, the upward shift of its location, and the bounds rule.
inline constexpr int kPanelDefaultWidth = 204;
inline constexpr int kPanelDefaultHeight = 101;
inline constexpr int kPanelLocationShift = 6;
inline constexpr int kPanelWidthAdjust = 15;
inline constexpr int kPanelHeight = 200;
// Information panel: the right and bottom of its bounds.
inline constexpr int kInfoPanelRight = 380;
inline constexpr int kInfoPanelBottom = 430;
#else
inline constexpr int kPanelDefaultWidth = 200;
inline constexpr int kPanelDefaultHeight = 95;
inline constexpr int kPanelLocationShift = 0;
inline constexpr int kPanelWidthAdjust = 0;
inline constexpr int kPanelHeight = 207;
inline constexpr int kInfoPanelRight = 390;
inline constexpr int kInfoPanelBottom = 400;
#endif

#endif
