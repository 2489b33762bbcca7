// Path segments for tests: corner points and the four corners of a square.
#ifndef SARVELLO_TESTS_SUPPORT_PATHSEGMENTS_H
#define SARVELLO_TESTS_SUPPORT_PATHSEGMENTS_H

#include <vector>

#include "HostAPI.h"

// A corner point: both control points on the anchor.
inline AIPathSegment corner(float h, float v) {
  AIPathSegment s{};
  s.p = s.in = s.out = AIRealPoint{h, v};
  s.corner = 1;
  return s;
}

// The four corners of a square whose top-left corner is at (left, top), clockwise in artwork
// coordinates (y growing upward).
inline std::vector<AIPathSegment> squareCorners(float left, float top, float side) {
  return {corner(left, top), corner(left + side, top), corner(left + side, top - side),
          corner(left, top - side)};
}

#endif
