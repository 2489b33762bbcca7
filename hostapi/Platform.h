/* What differs in the host interface between the platforms the plug-in is built for: the layout
 * of view rectangles and points, and which variant of the application the build is for. */
#ifndef SARVELLO_HOSTAPI_PLATFORM_H
#define SARVELLO_HOSTAPI_PLATFORM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The build may ask for the macOS variant on another system (SARVELLO_MACOS_VARIANT, which the
 * build defines for -DSARVELLO_PLATFORM=macos, as `make test-macos-variant` does): its layouts below, and the macOS variant of the plug-in's own
 * differences, which a Linux build takes anyway. */
#if defined(SARVELLO_MACOS_VARIANT) && SARVELLO_MACOS_VARIANT && defined(_WIN32)
#error "the macOS variant is built on Linux or macOS"
#endif

/* Rect and Point: integer pixels, y growing downward. They carry view coordinates (AIRect,
 * AIPoint) and the dialog manager's screen and dialog bounds; code uses their fields by name
 * only, since the order of the fields differs between the platforms. */
#if (defined(__linux__) || defined(_WIN32)) && !(defined(SARVELLO_MACOS_VARIANT) && SARVELLO_MACOS_VARIANT)
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

/* The variant of the application this build is for. A few things of the plug-in's own differ
 * between the application's Windows build and its macOS build (the panels' sizes, the warning
 * about unhandled messages); a Linux build takes the macOS variant of those, and the Windows
 * layout of Rect and Point above unless it is built as the macOS variant. */
#if defined(_WIN32)
#define SARVELLO_WINDOWS_VARIANT 1
#else
#define SARVELLO_WINDOWS_VARIANT 0
#endif

#ifdef __cplusplus
}
#endif

#endif
