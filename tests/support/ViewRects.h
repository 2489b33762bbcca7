// View rectangles in tests: made by their four sides, compared and printed by name, whatever the
// platform's field order.
#ifndef SARVELLO_TESTS_SUPPORT_VIEWRECTS_H
#define SARVELLO_TESTS_SUPPORT_VIEWRECTS_H

#include <cstdint>
#include <ostream>

#include "HostAPI.h"

inline Rect rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Rect r{};
  r.left = left;
  r.top = top;
  r.right = right;
  r.bottom = bottom;
  return r;
}

inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

#endif
