/* Everything that differs between the platforms the plug-in is built for, in one place:
 * the layout of view rectangles and points, the panel sizes, and the unhandled-message warning. */
#ifndef SARVELLO_HOSTAPI_PLATFORM_H
#define SARVELLO_HOSTAPI_PLATFORM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Rect and Point: integer pixels, y growing downward. They carry view coordinates (AIRect,
 * AIPoint) and the dialog manager's screen and dialog bounds; code uses their fields by name
 * only, since the order of the fields differs between the platforms. */
#if defined(__linux__) || defined(_WIN32)
/* Linux and Windows: 32-bit left, top, right, bottom; points horizontal, vertical. */
typedef struct Rect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} Rect;
typedef struct Point {
  int32_t h;
  int32_t v;
} Point;
#else
/* macOS: 16-bit top, left, bottom, right; points vertical, horizontal. */
typedef struct Rect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
} Rect;
typedef struct Point {
  int16_t v;
  int16_t h;
} Point;
#endif

#if defined(_WIN32)
#define SARVELLO_WARN_UNHANDLED_MESSAGES 0
/* Parameter panel: default size, the upward shift of its location, and the bounds rule. */
#define SARVELLO_PANEL_DEFAULT_WIDTH 204
#define SARVELLO_PANEL_DEFAULT_HEIGHT 101
#define SARVELLO_PANEL_LOCATION_SHIFT 6
#define SARVELLO_PANEL_WIDTH_ADJUST 15
#define SARVELLO_PANEL_HEIGHT 200
/* Information panel bounds. */
#define SARVELLO_INFO_PANEL_RIGHT 380
#define SARVELLO_INFO_PANEL_BOTTOM 430
#else
/* Linux follows the macOS variant. */
#define SARVELLO_WARN_UNHANDLED_MESSAGES 1
#define SARVELLO_PANEL_DEFAULT_WIDTH 200
#define SARVELLO_PANEL_DEFAULT_HEIGHT 95
#define SARVELLO_PANEL_LOCATION_SHIFT 0
#define SARVELLO_PANEL_WIDTH_ADJUST 0
#define SARVELLO_PANEL_HEIGHT 207
#define SARVELLO_INFO_PANEL_RIGHT 390
#define SARVELLO_INFO_PANEL_BOTTOM 400
#endif

#ifdef __cplusplus
}
#endif

#endif
