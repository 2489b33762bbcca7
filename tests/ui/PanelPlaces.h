// Where the panels stand in this build's variant of the application. The parameter panel's
// dialog resource makes it 160 x 133 on Windows and 200 x 207 elsewhere before it places itself;
// the Windows variant then moves it up 6 pixels and makes it 15 narrower than its stored width
// and 200 high, the others leave it there and make it 207 high.
#ifndef SARVELLO_TESTS_UI_PANELPLACES_H
#define SARVELLO_TESTS_UI_PANELPLACES_H

#include "ViewRects.h"

inline Rect byVariant(const Rect& windows, const Rect& others) {
  return SARVELLO_WINDOWS_VARIANT ? windows : others;
}

// A first start: the bottom-right corner of the dialog as its resource makes it on the palette
// area's (1440 x 900).
inline Rect firstPlace() { return byVariant(rect(1280, 761, 1469, 961), rect(1240, 693, 1440, 900)); }

#endif
