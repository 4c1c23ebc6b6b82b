// Rectangles as capture mode and the mark-up reckon with them: right and bottom
// outside, as the platform's are.
#pragma once
#include <algorithm>

#include "platform/types.h"

namespace corvane {

inline bool isEmpty(const platform::Rect& r) { return r.right <= r.left || r.bottom <= r.top; }
// Whether the two share a pixel.
inline bool meet(const platform::Rect& a, const platform::Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
inline bool inside(const platform::Rect& inner, const platform::Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}
// The pixels both hold; all zero when they do not meet.
inline platform::Rect intersect(const platform::Rect& a, const platform::Rect& b) {
  const platform::Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                         std::min(a.bottom, b.bottom)};
  return isEmpty(r) ? platform::Rect{} : r;
}
// The box around both; an empty one adds nothing.
inline platform::Rect unite(const platform::Rect& a, const platform::Rect& b) {
  if (isEmpty(a)) return b;
  if (isEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace corvane
