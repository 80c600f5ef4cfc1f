#pragma once

#include <cmath>

#include "vector/Vector3.h"

// The small arithmetic that the surface builders and the polygon cutting
// share beyond Vector3's: directions in space, and points in a polygon's
// plane on Point2.
namespace Kelvane::Metafile {

// The direction of a vector that has one (not of length 0).
inline Vector3 Unit(const Vector3& v) { return v * (1 / Norm(v)); }

// Whether three axes span no volume: one has length 0, or, as unit
// vectors, they lie in one plane to within 1e-12.
inline bool SpanNoVolume(const Vector3& a, const Vector3& b, const Vector3& c) {
  if (Norm(a) == 0 || Norm(b) == 0 || Norm(c) == 0) return true;
  return std::fabs(Dot(Unit(a), Cross(Unit(b), Unit(c)))) <= 1e-12;
}

// A point in a polygon's plane.
struct Point2 {
  double x = 0;
  double y = 0;
};

// Twice the signed area of a b c: positive when they turn counterclockwise.
inline double Orient(const Point2& a, const Point2& b, const Point2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

inline bool SamePlace(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

}  // namespace Kelvane::Metafile
